#!/usr/bin/env bash
# How much of a recording survives a disk whose every sync is slow.
#
#   bench/app/slow_sync.sh BUILD_DIR DELAY_MS PRELOAD [input seconds, default 20] [record seconds, default 25]
#
# Records from a pipe source of a private audio server into the default WAV
# (44100 Hz stereo PCM) with the real window under a virtual X server, while
# PRELOAD (slow_sync_preload, or the same SlowSync.cpp built as a shared
# library) makes every fsync/fdatasync of the program wait DELAY_MS first.
# Once the recording's file appears, the pipe gets the input seconds of white
# noise at real pace, then nothing (the server delivers nothing more). The
# driver stops after the record seconds; it is given another 60 s to finish,
# then terminated. Reports the seconds of non-silent audio in the file (10 ms
# blocks with a peak above 1000), the time to the window, the driver's own line
# (display tick lateness where it reports it), its wall time and peak RSS.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:?build dir}"
delay_ms="${2:?sync delay in ms}"
preload="$(realpath "${3:?preload library}")"
input_seconds="${4:-20}"
record_seconds="${5:-25}"
grace_seconds=60
driver="$build/tests/app/main/form1_driver"
[ -x "$driver" ] || { echo "no $driver: build form1_driver" >&2; exit 2; }

source scripts/virtual-session.sh
state="$(mktemp -d /tmp/tamblin-slowsync.XXXXXX)"
feeder=""
cleanup() {
  [ -n "$feeder" ] && kill "$feeder" 2>/dev/null || true
  virtual_session_stop "$state"
  rm -rf "$state"
}
trap cleanup EXIT
virtual_session_start "$state"

fifo="$state/pipe.fifo"
pactl load-module module-pipe-source source_name=tamblin_pipe file="$fifo" format=s16le rate=44100 \
  channels=2 source_properties=device.description=Pipe-Noise >/dev/null
sox -q -n -r 44100 -c 2 -b 16 -e signed -t raw "$state/noise.raw" synth "$input_seconds" whitenoise vol 0.5

# Writes FILE into FIFO at real pace (44100 Hz stereo s16le), in 4096-byte pieces.
feed() {
  python3 - "$1" "$2" <<'EOF'
import fcntl, os, sys, time
data = open(sys.argv[1], "rb").read()
fd = os.open(sys.argv[2], os.O_WRONLY)
try:
    fcntl.fcntl(fd, 1031, 1 << 20)  # F_SETPIPE_SZ: rides out a feeder held up by a busy machine
except OSError:
    pass
start, sent, rate = time.monotonic(), 0, 44100 * 4
while sent < len(data):
    sent += os.write(fd, data[sent:sent + 4096])
    wait = start + sent / rate - time.monotonic()
    if wait > 0:
        time.sleep(wait)
EOF
}

folder="$state/program"
mkdir -p "$folder/file"
launched=$(date +%s%N)
TAMBLIN_SHOT_FOLDER="$folder" /usr/bin/time -v -o "$state/driver.time" \
  timeout -k 5 "$((record_seconds + grace_seconds))" \
  env LD_PRELOAD="$preload" TAMBLIN_SYNC_DELAY_MS="$delay_ms" \
  "$driver" --device Pipe-Noise --seconds "$record_seconds" >"$state/driver.out" 2>"$state/driver.err" &
driver_job=$!

window_ms="not shown"
recording_ms="not started"
while kill -0 "$driver_job" 2>/dev/null; do
  now=$(date +%s%N)
  if [ "$window_ms" = "not shown" ]; then
    name=$(xwininfo -root -tree 2>/dev/null | grep -o '"TamblinV[^"]*"' | head -1 | tr -d '"' || true)
    if [ -n "$name" ] && xwininfo -name "$name" 2>/dev/null | grep -q IsViewable; then
      window_ms=$(( (now - launched) / 1000000 ))
    fi
  fi
  if [ -z "$feeder" ] && [ -n "$(ls -A "$folder/file")" ]; then
    recording_ms=$(( (now - launched) / 1000000 ))
    feed "$state/noise.raw" "$fifo" &
    feeder=$!
  fi
  [ -n "$feeder" ] && [ "$window_ms" != "not shown" ] && break
  sleep 0.01
done
status=0
wait "$driver_job" || status=$?
ended=$(date +%s%N)

field() { grep -F "$2" "$1" | head -1 | awk -F': ' '{print $2}'; }
echo "sync delay ${delay_ms} ms, ${input_seconds} s of noise, recording ${record_seconds} s, preload $(basename "$preload"):"
echo "  window shown after ${window_ms} ms, recording file after ${recording_ms} ms, driver ended after $(( (ended - launched) / 1000000 )) ms"
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "  driver TIMED OUT (${grace_seconds} s past its stop), terminated (status $status)"
elif [ "$status" -ne 0 ]; then
  echo "  driver exit status $status"
fi
sed 's/^/  driver: /' "$state/driver.out"
grep -v "XDG_RUNTIME_DIR" "$state/driver.err" | head -5 | sed 's/^/  stderr: /' || true
if [ -f "$state/driver.time" ]; then
  echo "  peak RSS $(awk -v r="$(field "$state/driver.time" "Maximum resident set size (kbytes)")" 'BEGIN { printf "%.1f MB", r / 1024 }'), cpu $(field "$state/driver.time" "User time (seconds)") s user + $(field "$state/driver.time" "System time (seconds)") s sys"
fi
for file in "$folder"/file/*; do
  [ -f "$file" ] || continue
  # The data chunk to the end of the file: a file left unfinished keeps its
  # header's first sizes, but what reached the disk still counts.
  python3 - "$file" "$input_seconds" <<'EOF'
import struct, sys
path, fed = sys.argv[1], float(sys.argv[2])
raw = open(path, "rb").read()
name = path.rsplit("/", 1)[-1]
if raw[:4] != b"RIFF" or raw[8:12] != b"WAVE":
    sys.exit(f"  {name}: {len(raw)} bytes, no WAV header")
at, channels, rate, data = 12, 2, 44100, b""
while at + 8 <= len(raw):
    kind, size = raw[at:at + 4], struct.unpack("<I", raw[at + 4:at + 8])[0]
    if kind == b"fmt ":
        channels, rate = struct.unpack("<HI", raw[at + 10:at + 16])
    if kind == b"data":
        data = raw[at + 8:]
        break
    at += 8 + size + (size & 1)
samples = memoryview(data[:len(data) // 2 * 2]).cast("h")
block = rate * channels // 100
loud = [i // block for i in range(0, len(samples) - block + 1, block)
        if max(abs(min(samples[i:i + block])), max(samples[i:i + block])) > 1000]
where = f", from {loud[0] / 100:.2f} s to {(loud[-1] + 1) / 100:.2f} s" if loud else ""
print(f"  {name}: {len(raw)} bytes, {len(samples) / channels / rate:.2f} s of audio, "
      f"kept {len(loud) / 100:.2f} s of {fed:g} s of noise{where}")
EOF
done
