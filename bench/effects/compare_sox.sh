#!/usr/bin/env bash
# Times our effects chain (effects_file_driver: amplifier, echo, phase shifter, seven
# peaking bands) against sox running its closest chain on the same 60 s, 44100 Hz
# stereo 16-bit file, raw in and raw out for both, one thread each. Prints both
# throughputs as multiples of real time and their ratio. Best of 3 runs each.
#
#   bench/effects/compare_sox.sh [build-dir]     (default: build-effects beside this repo's root)
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build-effects}"
driver="$build/bench/effects/effects_file_driver"
[ -x "$driver" ] || { echo "missing $driver: build target effects_file_driver first" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox not found" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
seconds=60
fmt=(-t raw -r 44100 -c 2 -e signed-integer -b 16)

# Two tones and some noise, well below full scale: music-like, no constant clipping.
sox -V1 -n "${fmt[@]}" "$work/in.raw" synth $seconds sine 220 sine 3150 whitenoise \
    remix 1,3 2,3 vol 0.3

# sox's nearest equivalents: gain 3 dB, echo 100 ms at 0.4, phaser sweeping at 1 Hz,
# and peaking equalizers at our seven band centres and bandwidth (octaves), +-3 dB.
sox_chain=(gain 3 echo 1 1 100 0.4 phaser 1 1 3 0.5 1 -s)
gains=(-3 3 -3 3 -3 3 -3)
centres=(80 190.749 454.813 1084.435 2585.681 6165.185 14700)
for i in "${!centres[@]}"; do
  sox_chain+=(equalizer "${centres[$i]}" 1.303394o "${gains[$i]}")
done

now() { date +%s.%N; }
best() {  # best wall time of 3 runs of the command
  local best_t=""
  for _ in 1 2 3; do
    local t0 t1 t
    t0=$(now); "$@" >/dev/null; t1=$(now)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
    if [ -z "$best_t" ] || awk -v a="$t" -v b="$best_t" 'BEGIN { exit !(a < b) }'; then best_t=$t; fi
  done
  echo "$best_t"
}

ours=$(best "$driver" "$work/in.raw" "$work/ours.raw" 44100 2 15)
theirs=$(best sox -V1 --single-threaded "${fmt[@]}" "$work/in.raw" "${fmt[@]}" "$work/sox.raw" "${sox_chain[@]}")

awk -v s=$seconds -v o="$ours" -v x="$theirs" 'BEGIN {
  printf "60 s of 44100 Hz stereo, all four effects, wall time incl. file I/O (best of 3)\n"
  printf "  tamblin effects chain: %7.4f s  %8.1fx real time\n", o, s / o
  printf "  sox chain:             %7.4f s  %8.1fx real time\n", x, s / x
  printf "  ratio (sox time / ours): %.2f\n", x / o
}'
