#!/usr/bin/env bash
# Race: the same random plain 2 MiB image written and verified by flashrom
# (ft2232_spi, bare flash on channel A) and by xqprog (XQ chip on the
# channel it opens), each through an emulated FT2232H at 30 MHz SCK with the
# bench in real time. Prints each side's time on the model's clock, its wall
# time for information, the ratio of both, and what each side sent over USB
# per 256-byte page (from the emulation's counters). The model's clock is
# what the adapter, the USB link (latency timer included) and the flash take
# for that traffic, plus the time the program itself slept between
# transfers (counted by a preloaded library, as a real FT2232H would let it
# pass); the emulation's own cost per ioctl and the load of the machine stay
# out of it, so two runs give the same figure. Wall times include both.
# xqprog runs twice, in its default profile and in the fast one; both ratios
# are printed.
#
# The image is plain on purpose: its byte at 0x2FB0 (the encryption marker)
# is cleared, so xqprog never takes it for an encrypted image by chance.
#
# Usage: bench/race-flashrom.sh [--programmed] [--seed N]
#   --programmed  both chips start with other random contents (so both erase);
#                 by default both start erased, as from the reel.
#   --seed N      the image (and the programmed contents) from seed N, the
#                 same bytes on every run; by default from /dev/urandom.
# BUILD_DIR selects the build (default: build/).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
run="$build/tests/usbfs/xq-usbfs-run"
xqprog="$build/src/app/xqprog"
flashrom=$(PATH="$PATH:/usr/sbin:/sbin" command -v flashrom || true)
for tool in "$run" "$xqprog"; do
    [ -x "$tool" ] || { echo "missing $tool: build the project first" >&2; exit 1; }
done
[ -n "$flashrom" ] || { echo "flashrom is not installed (scripts/packages.txt)" >&2; exit 1; }
command -v umockdev-wrapper >/dev/null || { echo "umockdev is not installed" >&2; exit 1; }

start_state=erased
seed=
while [ $# -gt 0 ]; do
    case $1 in
        --programmed) start_state=programmed ;;
        --seed) seed=${2:?--seed takes a number}; shift ;;
        *) echo "usage: $0 [--programmed] [--seed N]" >&2; exit 2 ;;
    esac
    shift
done
# The profiles' options for xqprog.
default_opts=()
fast_opts=(--batch-programs)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size=$((2 * 1024 * 1024))
pages=$((size / 256))
# random_bytes SALT: $size random bytes, from the seed when there is one.
random_bytes() {
    if [ -n "$seed" ]; then
        # openssl ends on the broken pipe once head has its bytes.
        { openssl enc -aes-128-ctr -pass "pass:race-$seed-$1" -nosalt -pbkdf2 </dev/zero 2>/dev/null || true; } |
            head -c "$size"
    else
        head -c "$size" /dev/urandom
    fi
}
random_bytes image >"$work/image.bin"
printf '\000' | dd of="$work/image.bin" bs=1 seek=$((0x2FB0)) conv=notrunc status=none

# bench DIR MODEL: a real-time bench with the start contents.
bench() {
    mkdir -p "$1"
    printf '[chip]\nmodel=%s\n[timing]\nrealtime=true\n' "$2" >"$1/bench.ini"
    if [ "$start_state" = programmed ]; then
        random_bytes "flash-$(basename "$1")" >"$1/flash.bin"
    else
        head -c "$size" /dev/zero | tr '\0' '\377' >"$1/flash.bin"
    fi
}

# race NAME CHANNEL BENCH -- CMD...: runs one side (CHANNEL empty: the board's), prints its line.
race() {
    local name=$1 channel=$2 dir=$3
    shift 4
    local t0 t1
    t0=$(date +%s.%N)
    if ! (cd "$work" && umockdev-wrapper "$run" --bench "$dir" ${channel:+--channel "$channel"} \
            --traffic "$dir/traffic.txt" -- "$@") >"$dir/log.txt" 2>&1; then
        echo "$name failed:" >&2
        tail -20 "$dir/log.txt" >&2
        exit 1
    fi
    t1=$(date +%s.%N)
    cmp -s "$dir/flash.bin" "$work/image.bin" || { echo "$name: flash.bin differs from the image" >&2; exit 1; }
    # shellcheck disable=SC1090
    . "$dir/traffic.txt"
    wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    awk -v n="$name" -v w="$wall" -v v="$virtual_ms" -v f="$flash_busy_ms" -v p="$pages" -v sl="${slept_ms:-0}" \
        -v o="$out_transfers" -v i="$in_transfers" -v e="$empty_in_transfers" -v bo="$bytes_out" -v bi="$bytes_in" \
        'BEGIN { printf "%-9s model_s=%.2f (slept %.2f) wall_s=%.2f flash_busy_s=%.2f | per page: out=%.2f in=%.2f (empty %.2f) bytes_out=%.0f bytes_in=%.0f\n",
                 n, v / 1000, sl / 1000, w, f / 1000, o / p, i / p, e / p, bo / p, bi / p }'
    eval "${name}_wall=$wall ${name}_virtual=$virtual_ms"
}

echo "2 MiB random plain image${seed:+ (seed $seed)}, chips start $start_state, FT2232H at 30 MHz, bench in real time"
bench "$work/flashrom" none
race flashrom A "$work/flashrom" -- "$flashrom" -p ft2232_spi:type=2232H,port=A -w "$work/image.bin"
bench "$work/xqprog" XQ6230
race xqprog "" "$work/xqprog" -- "$xqprog" --lang en -i FT2232-LOC-33 -r 30MHz "${default_opts[@]}" write "$work/image.bin"
bench "$work/xqfast" XQ6230
race xqfast "" "$work/xqfast" -- "$xqprog" --lang en -i FT2232-LOC-33 -r 30MHz "${fast_opts[@]}" write "$work/image.bin"
for side in xqprog xqfast; do
    eval "vb=\$${side}_virtual b=\$${side}_wall"
    awk -v s="$side" -v a="$flashrom_wall" -v b="$b" -v va="$flashrom_virtual" -v vb="$vb" \
        'BEGIN { printf "ratio flashrom/%s = %.2f (model clock), %.2f (wall, for information)\n", s, va / vb, a / b }'
done
