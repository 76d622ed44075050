#!/usr/bin/env bash
# Runs bench/race-flashrom.sh once per seed of a fixed list (1 to 300 by
# default) and fails at the first run that fails: a race must never fail by
# chance, whatever the image. A minute or more of wall time a seed (hours for
# all), so it is no part of the default test run or of CI: run it by hand,
# e.g. `bench/race-repeat.sh` or `bench/race-repeat.sh 1 20 --programmed` for
# the first 20 seeds, or configure with -DXQ_RACE_TEST=ON and run
# `ctest -R race_repeat`.
#
# Usage: [RACE_JOBS=N] bench/race-repeat.sh [FIRST LAST] [race options...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
first=1
last=300
if [ $# -ge 2 ] && [[ $1 =~ ^[0-9]+$ ]] && [[ $2 =~ ^[0-9]+$ ]]; then
    first=$1
    last=$2
    shift 2
fi
# one_seed SEED [race options...]: one race, one line; its output on a failure.
one_seed() {
    local seed=$1 out
    shift
    if ! out=$("$root/bench/race-flashrom.sh" --seed "$seed" "$@" 2>&1); then
        echo "seed $seed failed:" >&2
        echo "$out" >&2
        return 255  # makes xargs stop starting seeds
    fi
    echo "seed $seed: $(echo "$out" | grep '^ratio' | tr '\n' ' ')"
}
export -f one_seed
export root
# A race mostly waits on the real-time bench, so RACE_JOBS seeds may run at
# once (each in its own scratch folder); 1 by default.
if ! seq "$first" "$last" | xargs -P "${RACE_JOBS:-1}" -I{} bash -c 'one_seed "$@"' _ {} "$@"; then
    echo "a race failed" >&2
    exit 1
fi
echo "all $((last - first + 1)) races passed"
