#!/usr/bin/env bash
# Every text the sources hand to the translation has an English translation
# in translations/xqprogrammer_en.ts. (Entries lupdate calls obsolete are not
# refused: texts translated through a wrapper, as in outputfile.cpp, look
# unused to it.) Usage: translations_complete.sh LUPDATE SOURCE_DIR
set -euo pipefail
lupdate=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/translations/xqprogrammer_en.ts" "$work/en.ts"
cd "$root"
out=$("$lupdate" -no-obsolete src forms -ts "$work/en.ts" 2>&1)
echo "$out"
if ! echo "$out" | grep -q "(0 new and"; then
    echo "texts without an English translation:"
    diff <(grep -o '<source>.*</source>' translations/xqprogrammer_en.ts | sort -u) \
         <(grep -o '<source>.*</source>' "$work/en.ts" | sort -u) || true
    exit 1
fi
if grep -q 'type="unfinished"' "$work/en.ts"; then
    grep -B2 'type="unfinished"' "$work/en.ts"
    exit 1
fi
