#!/usr/bin/env bash
# The README's layout table names every source file under src/ by its path
# (src/FOLDER/NAME.* or the whole name), so a reader finds each file's job
# there; a file added without a row, or a row left behind by a move, fails.
# Usage: readme_layout.sh SOURCE_DIR
set -uo pipefail
root=${1:?usage: readme_layout.sh SOURCE_DIR}
layout=$(sed -n '/^## Layout/,/^## /p' "$root/README.md")
status=0
while IFS= read -r f; do
    rel=${f#"$root"/}
    stem=${rel%.*}
    if ! grep -qF -e "$stem.*" -e "$rel" <<<"$layout"; then
        echo "not in the README's layout table: $rel"
        status=1
    fi
done < <(find "$root/src" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) | sort)
# Every path the table names exists.
while IFS= read -r named; do
    if ! compgen -G "$root/$named" >/dev/null; then
        echo "named in the README's layout table but missing: $named"
        status=1
    fi
done < <(grep -oE 'src/[A-Za-z0-9_/]+\.(\*|[a-z]+)' <<<"$layout" | sort -u)
exit $status
