#!/usr/bin/env bash
# What the display costs, side by side in one run: the same recording (44100 Hz
# stereo pink noise swelling and fading three times a second, played into a null
# sink and recorded from its monitor; FLAC) with the window visible, minimized,
# hidden in the tray, and without a window; the window shown monitoring the same
# input with no take; beside the floors `parec | flac -5` and a bare window
# repainting at 40 Hz (repaint_floor).
#
#   bench/app/display_cost.sh [build dir, default build] [seconds, default 60] [rounds, default 3]
#
# Each case runs alone; the cases alternate within every round, so a change in
# the machine's load falls on all of them alike. A case is measured for the
# given seconds after a 5 s warm-up (start-up excluded), as the CPU time of its
# own processes, and of the whole system: those plus the audio server and the
# X server (both private to this run). Reported as % of one core, the mean and
# the spread (lowest..highest) over the rounds. The window's cases have all
# four effects on; the terminal has none to turn on.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
seconds="${2:-60}"
rounds="${3:-3}"
warmup=5
cmake --build "$build" --target tamblin form1_driver repaint_floor >/dev/null

source scripts/virtual-session.sh
state="$(mktemp -d /tmp/tamblin-display-cost.XXXXXX)"
noise_job=""
trap '[ -n "$noise_job" ] && kill "$noise_job" 2>/dev/null; virtual_session_stop "$state"; rm -rf "$state"' EXIT
virtual_session_start "$state"
cases=(visible minimized hidden no-window monitoring floor repaint)
total=$(( rounds * ${#cases[@]} * (seconds + warmup + 5) + 30 ))
sox -q -n -r 44100 -c 2 -b 16 -e signed -t raw - synth "$total" pinknoise tremolo 3 90 |
  pacat --playback --device=tamblin_null --rate=44100 --channels=2 --format=s16le &
noise_job=$!
device="Monitor of Null-Output"
server_pids="$(cat "$state/pulse/daemon.pid") $(cat "$state/xvfb.pid")"
hz=$(getconf CLK_TCK)

# CPU ticks (user + system) of the processes in session $1, or of the pids given after "pids".
ticks() {
  if [ "$1" = pids ]; then
    shift
    for pid in "$@"; do awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo 0; done
  else
    # One pass (a process per file would take seconds on a busy machine).
    { cat /proc/[0-9]*/stat 2>/dev/null || true; } | awk -v sid="$1" '{ sub(/^.*\) /, ""); if ($4 == sid) print $12 + $13 }'
  fi | awk '{ s += $1 } END { print s + 0 }'
}

# Runs one case (the command after the name) in a session of its own and prints
# "name program% system%" for its steady window.
measure() {
  local name="$1" sid p0 s0 p1 s1
  shift
  setsid "$@" >"$state/$name.out" 2>&1 &
  sid=$!
  sleep "$warmup"
  p0=$(ticks "$sid"); s0=$(ticks pids $server_pids)
  sleep "$seconds"
  p1=$(ticks "$sid"); s1=$(ticks pids $server_pids)
  kill -INT -- "-$sid" 2>/dev/null || true
  wait "$sid" 2>/dev/null || true
  awk -v n="$name" -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v hz="$hz" -v t="$seconds" \
    'BEGIN { printf "%s %.3f %.3f\n", n, 100 * p / hz / t, 100 * (p + s) / hz / t }'
}

run_for=$(( warmup + seconds + 60 ))  # ended by measure once measured
window=(env TAMBLIN_SHOT_FOLDER="$state/program" "$build/tests/app/main/form1_driver" --device "$device"
        --seconds "$run_for" --effects 0123 --type FLAC --window)
mkdir -p "$state/program"
run_case() {
  case "$1" in
    visible) measure visible "${window[@]}" shown ;;
    minimized) measure minimized "${window[@]}" minimized ;;
    hidden) measure hidden "${window[@]}" hidden ;;
    monitoring) measure monitoring "${window[@]}" shown --schedule none ;;
    no-window) measure no-window "$build/app/tamblin" --no-window --device "$device" --for "${run_for}s" \
                 "$state/terminal.flac" ;;
    floor) measure floor bash -c 'parec --device=tamblin_null.monitor --rate=44100 --channels=2 --format=s16le --raw |
                 flac -5 -s --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 \
                 --sample-rate=44100 - -o "$1"' floor "$state/floor.flac" ;;
    repaint) measure repaint "$build/bench/app/repaint_floor" "$run_for" ;;
  esac
}
: >"$state/results"
for round in $(seq 1 "$rounds"); do
  # Rotated by one each round, so no case always follows the same one.
  for k in $(seq 0 $(( ${#cases[@]} - 1 ))); do
    run_case "${cases[$(( (k + round - 1) % ${#cases[@]} ))]}" | tee -a "$state/results" >&2
    rm -f "$state/terminal.flac" "$state/floor.flac" "$state/program/file/"*
  done
done
echo "display cost over $rounds rounds of $seconds s ($(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)):"
printf '%-10s %24s %24s\n' case "program % (lo..hi)" "whole system % (lo..hi)"
for name in "${cases[@]}"; do
  awk -v n="$name" '$1 == n { c++; p += $2; s += $3;
      if (c == 1 || $2 < plo) plo = $2; if (c == 1 || $2 > phi) phi = $2;
      if (c == 1 || $3 < slo) slo = $3; if (c == 1 || $3 > shi) shi = $3 }
    END { printf "%-10s %7.2f (%5.2f..%5.2f)   %7.2f (%5.2f..%5.2f)\n", n, p / c, plo, phi, s / c, slo, shi }' \
    "$state/results"
done
