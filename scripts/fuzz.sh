#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one.
#   scripts/fuzz.sh              a smoke run of every target (FUZZ_SECONDS each, default 30)
#   scripts/fuzz.sh xlsx 600     fuzz one target for 600 seconds, growing its corpus
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR="$root/build-fuzz" BUILD_TYPE=RelWithDebInfo \
  CMAKE_EXTRA_ARGS="-DXQ_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++" \
  "$root/scripts/setup.sh" clang libclang-rt-14-dev
export ASAN_OPTIONS=detect_leaks=0
targets=(stylesheet xlsx mpsse staticrecord)
if [ $# -ge 1 ]; then
  work=$(mktemp -d)
  cp -r "$root/fuzz/corpus/$1/." "$work/"
  exec "$root/build-fuzz/fuzz/fuzz_$1" -max_total_time="${2:-600}" -timeout=20 -max_len=65536 "$work" "$root/fuzz/corpus/$1"
fi
for t in "${targets[@]}"; do
  echo "== fuzz_$t"
  work=$(mktemp -d)
  cp -r "$root/fuzz/corpus/$t/." "$work/"
  log="$work.log"
  if ! "$root/build-fuzz/fuzz/fuzz_$t" -max_total_time="${FUZZ_SECONDS:-30}" -timeout=20 -max_len=65536 "$work" > "$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$t FAILED"
    exit 1
  fi
  grep -E "^Done [0-9]+ runs" "$log" || tail -n 3 "$log"
done
