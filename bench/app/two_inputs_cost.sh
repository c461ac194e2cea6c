#!/usr/bin/env bash
# What a second input costs, side by side in one run, at 44100 Hz stereo (the
# rate a take without a window records at), FLAC, without a window: a take of one input; two inputs with tracks "both" (the mix
# and each input's file) with the computer's sound removed from the first, and
# the same without the removal; beside the floor `parec A | flac` + `parec B |
# flac`. Input A is a pipe source fed white noise; input B is the null sink's
# monitor (the computer's sound) fed other noise, or, for the take without the
# removal, a second pipe source fed that noise (the removal is on by default
# only for a monitor).
#
#   bench/app/two_inputs_cost.sh [build dir, default build] [seconds, default 20] [rounds, default 2]
#
# Each case runs alone, measured for the given seconds after a 5 s warm-up, as
# the CPU time of its own processes (% of one core), the mean and the spread
# over the rounds; the cases rotate within every round. The summary gives the
# second input's cost against the first's, (two without removal - one) / one,
# and the removal's share, two - two without removal.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
seconds="${2:-20}"
rounds="${3:-2}"
warmup=5
rate=44100
cmake --build "$build" --target tamblin >/dev/null

state="$(mktemp -d /tmp/tamblin-two-inputs-cost.XXXXXX)"
feeders=()
trap 'for job in "${feeders[@]}"; do kill "$job" 2>/dev/null || true; done; scripts/pulse-private.sh stop "$state/pulse"; rm -rf "$state"' EXIT
export "$(scripts/pulse-private.sh start "$state/pulse")"
hz=$(getconf CLK_TCK)
total=$(( rounds * 4 * (seconds + warmup + 5) + 60 ))

# Noise of kind $1 (whitenoise, pinknoise) lasting the whole run, as raw s16le stereo.
noise() { sox -q -n -r "$rate" -c 2 -b 16 -e signed -t raw - synth "$total" "$1" vol 0.3; }
# Standard input to standard output at the pace of live input: a pipe source
# delivers whatever its pipe holds at once, faster than real time. While the
# source is idle between cases the pipe fills and the writer waits; it goes on
# at the live pace from there, never catching up in a burst.
live_pace() {
  python3 -c '
import sys, time
per_second, chunk = int(sys.argv[1]) * 4, 4096
due = time.monotonic()
while data := sys.stdin.buffer.read(chunk):
    sys.stdout.buffer.write(data)
    sys.stdout.buffer.flush()
    due = max(due, time.monotonic() - 0.1) + len(data) / per_second
    time.sleep(max(0.0, due - time.monotonic()))' "$rate" 2>/dev/null
}
# A pipe source $1 fed noise of kind $2 at the pace of live input.
pipe_source() {
  pactl load-module module-pipe-source source_name="$1" file="$state/$1.fifo" format=s16le rate="$rate" channels=2 \
    source_properties=device.description="$1" >/dev/null
  noise "$2" | live_pace >"$state/$1.fifo" &
  feeders+=($!)
}
pipe_source bench_first whitenoise
pipe_source bench_second pinknoise
noise pinknoise | pacat --playback --device=tamblin_null --rate="$rate" --channels=2 --format=s16le &
feeders+=($!)

# The program from a folder of its own, so its counter and journal are the bench's.
mkdir -p "$state/program"
cp "$build/app/tamblin" "$state/program/"
program="$state/program/tamblin"

# CPU ticks (user + system) of the processes in session $1.
ticks() {
  { cat /proc/[0-9]*/stat 2>/dev/null || true; } | awk -v sid="$1" '{ sub(/^.*\) /, ""); if ($4 == sid) print $12 + $13 }' |
    awk '{ s += $1 } END { print s + 0 }'
}

# Runs one case (the command after the name) in a session of its own and prints
# "name program%" for its steady window.
measure() {
  local name="$1" sid p0 p1
  shift
  setsid "$@" >"$state/$name.out" 2>&1 &
  sid=$!
  sleep "$warmup"
  p0=$(ticks "$sid")
  sleep "$seconds"
  p1=$(ticks "$sid")
  # TERM: a background job of a script starts with INT ignored.
  kill -TERM -- "-$sid" 2>/dev/null || true
  wait "$sid" 2>/dev/null || true
  awk -v n="$name" -v p=$((p1 - p0)) -v hz="$hz" -v t="$seconds" 'BEGIN { printf "%s %.3f\n", n, 100 * p / hz / t }'
}

run_for="$(( warmup + seconds + 60 ))s"  # ended by measure once measured
floor_of() {
  echo "parec --device=$1 --rate=$rate --channels=2 --format=s16le --raw |" \
       "flac -5 -s --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=$rate - -o $2"
}
cases=(one two two-plain floor)
run_case() {
  case "$1" in
    one) measure one "$program" --no-window --device bench_first --type FLAC --for "$run_for" "$state/one.flac" ;;
    two) measure two "$program" --no-window --device bench_first --device tamblin_null.monitor --tracks both \
           --type FLAC --for "$run_for" "$state/two.flac" ;;
    two-plain) measure two-plain "$program" --no-window --device bench_first --device bench_second --tracks both \
                 --type FLAC --for "$run_for" "$state/plain.flac" ;;
    floor) measure floor bash -c "$(floor_of bench_first "$state/a.flac") & $(floor_of tamblin_null.monitor "$state/b.flac"); wait" ;;
  esac
}
: >"$state/results"
for round in $(seq 1 "$rounds"); do
  for k in $(seq 0 3); do
    run_case "${cases[$(( (k + round - 1) % 4 ))]}" | tee -a "$state/results" >&2
    rm -f "$state"/*.flac
  done
done
echo "two-input cost over $rounds rounds of $seconds s at $rate Hz ($(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)):"
printf '%-10s %24s\n' case "program % (lo..hi)"
for name in "${cases[@]}"; do
  awk -v n="$name" '$1 == n { c++; p += $2; if (c == 1 || $2 < lo) lo = $2; if (c == 1 || $2 > hi) hi = $2 }
    END { printf "%-10s %7.2f (%5.2f..%5.2f)\n", n, p / c, lo, hi }' "$state/results"
done
awk '{ p[$1] += $2; c[$1]++ } END {
  one = p["one"] / c["one"]; two = p["two"] / c["two"]; plain = p["two-plain"] / c["two-plain"]
  printf "second input against the first: %.2fx (two without removal - one) / one\n", (plain - one) / one
  printf "echo removal: %.2f points of a core (two - two without removal)\n", two - plain }' "$state/results"
