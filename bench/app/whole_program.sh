#!/usr/bin/env bash
# Whole-program cost of a recording and the start-up time of the window.
#
#   bench/app/whole_program.sh [build dir, default build] [seconds, default 60] [opus|flac|ima] [tone|noise]
#
# 1. Records 44100 Hz stereo from a 440 Hz test-tone source with all four effects
#    on, the display live (virtual X server) and IMA ADPCM output in WAV (with
#    "opus": an Ogg Opus file at its default 96 kbit/s; with "flac": FLAC), for
#    the given time, beside parecord recording the same source in the same run,
#    and beside the command-line floor for the same output (parec piped into
#    sox, flac -5 or opusenc). All run under /usr/bin/time -v; reports CPU
#    seconds, share of one core, peak memory and the ratio to parecord. Then
#    the toolkit's own floor: a bare window repainting four small pictures at
#    the same 40 Hz with no other work. Goals: under 3 % of one core, under 80 MB.
#    With "noise" the input is pink noise swelling and fading three times a
#    second (played into the null sink, recorded from its monitor): every
#    display changes on every tick, as with music, where the steady tone lets
#    the spectrum and level bars stand still.
# 2. Starts the tamblin executable five times and reports the time until its
#    window is mapped on the X server (median; goal under 400 ms).
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
seconds="${2:-60}"
output=(--format "IMA ADPCM"); output_name="IMA ADPCM"
floor_name="parec | sox (IMA ADPCM)"
floor_encoder=(sox -q -t raw -r 44100 -c 2 -b 16 -e signed - -e ima-adpcm)
floor_ext=wav
if [ "${3:-}" = "opus" ]; then
  output=(--type "Ogg Opus"); output_name="Ogg Opus 96 kbit/s"
  floor_name="parec | opusenc"; floor_encoder=(opusenc --quiet --raw --raw-rate 44100 --raw-chan 2 - ); floor_ext=opus
elif [ "${3:-}" = "flac" ]; then
  output=(--type "FLAC"); output_name="FLAC"
  floor_name="parec | flac -5"; floor_encoder=(flac -5 -s --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=44100 - -o); floor_ext=flac
fi
device=Test-Tone-440Hz source=tamblin_tone input_name="440 Hz tone"
if [ "${4:-}" = "noise" ]; then
  device="Monitor of Null-Output" source=tamblin_null.monitor input_name="pink noise, tremolo"
fi
cmake --build "$build" --target tamblin form1_driver repaint_floor >/dev/null

source scripts/virtual-session.sh
state="$(mktemp -d /tmp/tamblin-bench.XXXXXX)"
trap 'virtual_session_stop "$state"; rm -rf "$state"' EXIT
virtual_session_start "$state"
if [ "$source" = tamblin_null.monitor ]; then
  sox -q -n -r 44100 -c 2 -b 16 -e signed -t raw - synth "$((seconds + 15))" pinknoise tremolo 3 90 |
    pacat --playback --device=tamblin_null --rate=44100 --channels=2 --format=s16le &
  noise_job=$!
  trap 'kill "$noise_job" 2>/dev/null || true; virtual_session_stop "$state"; rm -rf "$state"' EXIT
fi

# ---- 1. recording cost, side by side
mkdir -p "$state/program"
TAMBLIN_SHOT_FOLDER="$state/program" /usr/bin/time -v -o "$state/tamblin.time" \
  "$build/tests/app/main/form1_driver" --device "$device" --seconds "$seconds" \
  --effects 0123 "${output[@]}" &
tamblin_job=$!
/usr/bin/time -v -o "$state/parecord.time" \
  timeout -s INT "$seconds" parecord --device="$source" --rate=44100 --channels=2 \
  --format=s16le --file-format=wav "$state/parecord.wav" &
parecord_job=$!
# The floor: the same capture piped into the command-line encoder of the same output.
/usr/bin/time -v -o "$state/floor.time" bash -c '
  timeout -s INT "$1" parec --device="$2" --rate=44100 --channels=2 --format=s16le --raw | "${@:4}" "$3"' \
  floor "$seconds" "$source" "$state/floor.$floor_ext" "${floor_encoder[@]}" || true
wait "$parecord_job" || true
wait "$tamblin_job"

field() { grep -F "$2" "$1" | head -1 | awk -F': ' '{print $2}'; }
report() {  # name time-file
  local user sys rss
  user=$(field "$2" "User time (seconds)")
  sys=$(field "$2" "System time (seconds)")
  rss=$(field "$2" "Maximum resident set size (kbytes)")
  awk -v n="$1" -v u="$user" -v s="$sys" -v r="$rss" -v t="$seconds" \
    'BEGIN { printf "%-9s cpu %6.2f s (user %.2f, sys %.2f) = %5.2f %% of one core, peak RSS %6.1f MB\n", n, u+s, u, s, 100*(u+s)/t, r/1024 }'
}
echo "recording ${seconds} s of ${input_name}, 44100 Hz stereo, 4 effects, live display, ${output_name}:"
report tamblin "$state/tamblin.time"
report parecord "$state/parecord.time"
report floor "$state/floor.time"
echo "  (floor: $floor_name)"
awk -v a="$(field "$state/tamblin.time" "User time (seconds)")" -v b="$(field "$state/tamblin.time" "System time (seconds)")" \
    -v c="$(field "$state/parecord.time" "User time (seconds)")" -v d="$(field "$state/parecord.time" "System time (seconds)")" \
    -v ra="$(field "$state/tamblin.time" "Maximum resident set size (kbytes)")" \
    -v rb="$(field "$state/parecord.time" "Maximum resident set size (kbytes)")" \
    'BEGIN { cpu = (c + d > 0) ? sprintf("%.1f", (a + b) / (c + d)) : "n/a (parecord below the 10 ms clock)";
             printf "ratio tamblin/parecord: cpu %s, peak RSS %.1f\n", cpu, ra / rb }'
# Start-up and shutdown alone (no recording time), to tell the steady cost apart.
TAMBLIN_SHOT_FOLDER="$state/program" /usr/bin/time -v -o "$state/baseline.time" \
  "$build/tests/app/main/form1_driver" --device "$device" --seconds 0 \
  --effects 0123 "${output[@]}"
awk -v a="$(field "$state/tamblin.time" "User time (seconds)")" -v b="$(field "$state/tamblin.time" "System time (seconds)")" \
    -v c="$(field "$state/baseline.time" "User time (seconds)")" -v d="$(field "$state/baseline.time" "System time (seconds)")" \
    -v t="$seconds" \
    'BEGIN { printf "tamblin without start-up and shutdown (%.2f s): %.2f s = %.2f %% of one core\n", c + d, a + b - c - d, 100 * (a + b - c - d) / t }'
/usr/bin/time -v -o "$state/repaint.time" "$build/bench/app/repaint_floor" "$seconds"
report repaint "$state/repaint.time"
echo "  (repaint: a bare window repainting at 40 Hz, the toolkit's share of the display)"
ls -l "$state/program/file" | awk 'NR>1 { print "tamblin file: " $5 " bytes " $NF }'
ls -l "$state/parecord.wav" | awk '{ print "parecord file: " $5 " bytes" }'

# ---- 2. start-up time to the window shown
mkdir -p "$state/startup"
times=()
for _ in 1 2 3 4 5; do
  start=$(date +%s%N)
  "$build/app/tamblin" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 2000); do
    xwininfo -name TamblinV3.3 2>/dev/null | grep -q "IsViewable" && break
    kill -0 "$pid" 2>/dev/null || { echo "tamblin ended before its window was shown" >&2; break; }
    sleep 0.005
  done
  end=$(date +%s%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  times+=($(( (end - start) / 1000000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start-up to window shown: median ${sorted[2]} ms (runs: ${times[*]} ms)"
