#!/usr/bin/env bash
# Encoding throughput per format family, ours beside ffmpeg's command line on the
# same raw input (pink noise with a tone, 16-bit PCM), fastest of three runs each.
# Prints input MB/s of both and ours/ffmpeg (above 1: we are faster). Then the
# same for the compressed file types beside their reference encoders (flac -5,
# opusenc at 96 kbit/s, lame at 192 kbit/s CBR), with both FLAC file sizes.
# On a shared machine the ratio moves by some 20% from run to run.
#
# usage: bench/encoding/compare_ffmpeg.sh [build-dir] [seconds of audio, default 60]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-60}"
driver="$(find "$build" -name encoding_file_driver -type f -perm -u+x | head -n1)"
[[ -x "$driver" ]] || { echo "encoding_file_driver not built in $build" >&2; exit 1; }

work="$(mktemp -d /tmp/tamblin-encbench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# The same recording at both input shapes the families are measured on.
make_input() {  # rate channels file
  ffmpeg -nostdin -v error -f lavfi -i "anoisesrc=d=$seconds:c=pink:a=0.25:r=$1:seed=7" \
    -f lavfi -i "sine=f=440:d=$seconds:r=$1" -filter_complex "amix=inputs=2:normalize=0" \
    -ac "$2" -ar "$1" -f s16le -c:a pcm_s16le -y "$3"
}
make_input 44100 2 "$work/in44.raw"
make_input 8000 1 "$work/in8.raw"

# Fastest wall time of `runs` runs of a command, in seconds.
best_of() {  # runs command...
  local runs=$1 best="" t0 t1 t
  shift
  for ((run = 0; run < runs; run++)); do
    t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.6f", b-a}')
    if [[ -z "$best" ]] || awk -v t="$t" -v b="$best" 'BEGIN{exit !(t<b)}'; then best=$t; fi
  done
  echo "$best"
}

printf "%-8s %-10s %14s %14s %8s\n" family input "ours MB/s" "ffmpeg MB/s" ratio
# family  input-file  rate  channels  ffmpeg codec options
while read -r family input rate channels codec; do
  read -r -a options <<<"$codec"
  raw="$work/$input"
  bytes=$(stat -c %s "$raw")
  read -r _ ours_s _ < <("$driver" "$family" "$raw" "$rate" "$channels" "$work/ours.wav" 3 </dev/null)
  ffmpeg_s=$(best_of 3 ffmpeg -nostdin -v error -f s16le -ar "$rate" -ac "$channels" -i "$raw" \
    "${options[@]}" -y "$work/ffmpeg.wav")
  awk -v f="$family" -v i="${rate}x$channels" -v n="$bytes" -v o="$ours_s" -v r="$ffmpeg_s" \
    'BEGIN{printf "%-8s %-10s %14.1f %14.1f %8.2f\n", f, i, n/o/1e6, n/r/1e6, r/o}'
done <<'TABLE'
pcm16   in44.raw 44100 2 -c:a pcm_s16le
pcm8    in44.raw 44100 2 -c:a pcm_u8
alaw    in44.raw 44100 2 -c:a pcm_alaw
ulaw    in44.raw 44100 2 -c:a pcm_mulaw
ima     in44.raw 44100 2 -c:a adpcm_ima_wav -block_size 2048
msadpcm in44.raw 44100 2 -c:a adpcm_ms -block_size 2048
gsm     in8.raw  8000  1 -c:a libgsm_ms
mp3     in44.raw 44100 2 -c:a libmp3lame -b:a 128k
TABLE

# The compressed file types at their default settings beside the reference encoders.
ref_flac() { flac -5 -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 \
  --sample-rate=44100 -o "$work/ref.flac" "$1"; }
ref_opus() { opusenc --quiet --raw --raw-bits 16 --raw-rate 44100 --raw-chan 2 --bitrate 96 "$1" "$work/ref.opus"; }
ref_mp3() { lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -b 192 --cbr "$1" "$work/ref.mp3" 2>/dev/null; }

echo
printf "%-8s %-10s %14s %14s %8s\n" type input "ours MB/s" "ref MB/s" ratio
raw="$work/in44.raw"
bytes=$(stat -c %s "$raw")
for type in flac opus mp3; do
  family=$type
  [[ $type == mp3 ]] && family=mp3file
  # Five runs each: these encoders are slow enough for a busy machine to show in three.
  read -r _ ours_s _ < <("$driver" "$family" "$raw" 44100 2 "$work/ours.$type" 5 </dev/null)
  ref_s=$(best_of 5 "ref_$type" "$raw")
  awk -v f="$type" -v n="$bytes" -v o="$ours_s" -v r="$ref_s" \
    'BEGIN{printf "%-8s %-10s %14.1f %14.1f %8.2f\n", f, "44100x2", n/o/1e6, n/r/1e6, r/o}'
done
ours_size=$(stat -c %s "$work/ours.flac")
ref_size=$(stat -c %s "$work/ref.flac")
awk -v o="$ours_size" -v r="$ref_size" \
  'BEGIN{printf "FLAC size: ours %d bytes, flac -5 %d bytes, ours/ref %.4f\n", o, r, o/r}'
