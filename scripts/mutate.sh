#!/usr/bin/env bash
# Mutation testing: does the test suite catch realistic single-point faults?
#
#   scripts/mutate.sh [PATCH...]        (default: every tests/mutations/*.patch)
#
# Copies the working tree (without build directories and .git) to a scratch
# directory, builds it once there, then for each patch: applies it, rebuilds
# what the patch names, runs those tests, reverts it. One line per patch:
#
#   killed          NAME  by TEST[, TEST...]
#   survived        NAME
#   does-not-apply  NAME
#   does-not-build  NAME
#   untested        NAME  (each test it names fails on the unchanged tree)
#
# and the kill rate over the patches that applied and built. A patch names
# what covers it in a leading line "# tests: test_a test_b:fnA,fnB": whole
# test programs (run by ctest) or chosen test functions of one (run directly,
# much faster); without the line the whole suite runs. Each of these is run
# once on the unchanged tree first: one that fails there cannot kill a
# mutant and is reported. The real tree is never changed.
#
# Environment: MUTATE_DIR (scratch, default /tmp/xq-mutate-$USER), MUTATE_JOBS
# (build jobs, default 2), MUTATE_TIMEOUT (seconds per test, default 300),
# MUTATE_KEEP=0 removes the scratch copy at the end (by default it is kept,
# and a later run reuses its build). Slow: not part of CI.
set -uo pipefail
# The whole script is one group, read before any of it runs: a checkout or an
# edit of this file during a long run does not change the running one.
{
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scratch=${MUTATE_DIR:-/tmp/xq-mutate-${USER:-$(id -un)}}
jobs=${MUTATE_JOBS:-2}
timeout=${MUTATE_TIMEOUT:-300}
tree="$scratch/tree"
build="$scratch/build"

if [ $# -gt 0 ]; then
    patches=("$@")
else
    patches=("$root"/tests/mutations/*.patch)
fi
for p in "${patches[@]}"; do
    [ -f "$p" ] || { echo "mutate.sh: no such patch: $p" >&2; exit 2; }
done

# The scratch copy: the tracked and untracked (not ignored) files as they are
# now. Only files whose bytes differ are copied, with a new time stamp, so the
# scratch build recompiles exactly those (also a file a mutant left behind).
mkdir -p "$tree"
(cd "$root" && git ls-files -z --cached --others --exclude-standard) | while IFS= read -r -d '' f; do
    [ -f "$root/$f" ] || continue
    if ! cmp -s "$root/$f" "$tree/$f"; then
        mkdir -p "$(dirname "$tree/$f")"
        cp "$root/$f" "$tree/$f"
    fi
done

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$scratch"
fi
# What the patches need built: the test programs they name, or everything
# when one of them names none.
targets=()
for p in "${patches[@]}"; do
    t=$(sed -n 's/^# tests: *//p' "$p" | head -1)
    if [ -z "$t" ]; then
        targets=()
        break
    fi
    for w in $t; do targets+=("${w%%:*}"); done
done
target_args=()
if [ ${#targets[@]} -gt 0 ]; then
    # shellcheck disable=SC2207
    target_args=(--target $(printf '%s\n' "${targets[@]}" | sort -u))
fi
echo "mutate.sh: building the unchanged tree in $build" >&2
cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null || exit 1
if ! cmake --build "$build" --parallel "$jobs" "${target_args[@]}" >"$scratch/base-build.log" 2>&1; then
    echo "mutate.sh: the unchanged tree does not build (see $scratch/base-build.log)" >&2
    exit 1
fi

export QT_QPA_PLATFORM=offscreen
declare -A baseline  # entry -> ok / failed, on the unchanged tree

# Runs one entry of a "# tests:" line; true when it passes.
run_entry() {
    local entry=$1 log=$2 prog funcs
    prog=${entry%%:*}
    if [ "$prog" = "$entry" ]; then
        (cd "$build" && ctest -R "^${prog}\$" --timeout "$timeout" >>"$log" 2>&1) || return 1
        ! grep -q 'No tests were found' "$log"
        return
    fi
    funcs=${entry#*:}
    mkdir -p "$scratch/state/$prog"
    # shellcheck disable=SC2086
    (cd "$build/tests" && XDG_STATE_HOME="$scratch/state/$prog" timeout "$timeout" "./$prog" ${funcs//,/ } >>"$log" 2>&1)
}

# The entries' results on the unchanged tree, once each, all before the first
# patch: a program that a patch rebuilt keeps that mutant until a later patch
# rebuilds it again.
: >"$scratch/baseline.log"
for p in "${patches[@]}"; do
    for e in $(sed -n 's/^# tests: *//p' "$p" | head -1); do
        [ -z "${baseline[$e]:-}" ] || continue
        if run_entry "$e" "$scratch/baseline.log"; then baseline[$e]=ok; else
            baseline[$e]=failed
            echo "mutate.sh: $e fails on the unchanged tree: it kills nothing" >&2
        fi
    done
done

killed=0
survived=0
skipped=0
for p in "${patches[@]}"; do
    name=$(basename "$p" .patch)
    tests=$(sed -n 's/^# tests: *//p' "$p" | head -1)
    [ -n "$tests" ] || tests=ALL
    if ! patch -p1 -d "$tree" --dry-run --silent <"$p" >/dev/null 2>&1; then
        printf '%-15s %s\n' does-not-apply "$name"
        skipped=$((skipped + 1))
        continue
    fi
    patch -p1 -d "$tree" --silent --no-backup-if-mismatch <"$p" >/dev/null
    log="$scratch/$name.test.log"
    : >"$log"
    if [ "$tests" = ALL ]; then
        built=$(cmake --build "$build" --parallel "$jobs" >"$scratch/$name.build.log" 2>&1 && echo y)
    else
        # shellcheck disable=SC2046
        built=$(cmake --build "$build" --parallel "$jobs" --target $(for e in $tests; do echo "${e%%:*}"; done | sort -u) \
            >"$scratch/$name.build.log" 2>&1 && echo y)
    fi
    if [ "$built" != y ]; then
        printf '%-15s %s\n' does-not-build "$name"
        skipped=$((skipped + 1))
    else
        by=()
        ran=0
        if [ "$tests" = ALL ]; then
            ran=1
            (cd "$build" && ctest --timeout "$timeout" >"$log" 2>&1)
            grep -q '100% tests passed' "$log" ||
                by=("$(sed -n 's/^[[:space:]]*[0-9]* - \([A-Za-z0-9_]*\) (.*/\1/p' "$log" | paste -sd, -)")
        else
            for e in $tests; do
                [ "${baseline[$e]}" = ok ] || continue
                ran=1
                run_entry "$e" "$log" || by+=("$e")
            done
        fi
        if [ "$ran" = 0 ]; then
            printf '%-15s %s\n' untested "$name"
            skipped=$((skipped + 1))
        elif [ ${#by[@]} -gt 0 ]; then
            printf '%-15s %s  by %s\n' killed "$name" "$(IFS=' '; echo "${by[*]}")"
            killed=$((killed + 1))
        else
            printf '%-15s %s\n' survived "$name"
            survived=$((survived + 1))
        fi
    fi
    patch -p1 -R -d "$tree" --silent --no-backup-if-mismatch <"$p" >/dev/null
done

total=$((killed + survived))
if [ "$total" -gt 0 ]; then
    echo "kill rate: $killed/$total ($((100 * killed / total))%), $skipped not applied, not built or untested"
else
    echo "kill rate: no patch applied and built ($skipped skipped)"
fi
[ "${MUTATE_KEEP:-1}" = 1 ] || rm -rf "$scratch"
exit
}
