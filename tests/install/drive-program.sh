# Sourced, not run: starts a Tamblin executable with the window driver plugin
# (tools/ProgramWindowDriver.h lists its commands), talks to it, and feeds a
# pipe source on the current audio server. Every wait is bounded.
#
#   harness_begin NAME                     WORK: a fresh temporary folder, removed at exit
#                                          with the program, pipe source and any server
#                                          started here; HARNESS_CLEANUP: more to undo
#   ensure_audio_server                    starts a private one when PULSE_SERVER is unset
#   program_start PLUGINS LOG EXECUTABLE [ARGS...]
#                                          the program as a coprocess
#   program_send LINE
#   program_expect PREFIX [SECONDS]        prints the first new line starting with PREFIX
#   program_end                            quits it; kills it after 20 s
#   pipe_source_load NAME DESCRIPTION      sets PIPE_FIFO, PIPE_MODULE (s16le 44100 Hz stereo)
#   pipe_source_feed_tone SECONDS          440 Hz at real time, in the background
#   pipe_source_unload
#   record_tone DESCRIPTION WAV            selects the source, records two seconds of
#                                          tone into WAV and checks it
#   use_private_home DIR                   HOME and the XDG folders inside DIR, with a
#                                          Chinese desktop's music folder "~/音乐"

harness_begin() {
  WORK="$(mktemp -d "/tmp/tamblin-$1.XXXXXX")"
  SERVER_SCRIPT="${TAMBLIN_TEST_PULSE_SCRIPT:-$(dirname "${BASH_SOURCE[0]}")/../../scripts/pulse-private.sh}"
  HARNESS_CLEANUP=""
  trap harness_end EXIT
}

harness_end() {
  [ -n "${PROGRAM_PID:-}" ] && program_end
  pipe_source_unload
  [ -n "$HARNESS_CLEANUP" ] && eval "$HARNESS_CLEANUP"
  [ -d "$WORK/server" ] && "$SERVER_SCRIPT" stop "$WORK/server"
  rm -rf "$WORK"
}

ensure_audio_server() {
  [ -n "${PULSE_SERVER:-}" ] || export "$("$SERVER_SCRIPT" start "$WORK/server")"
}

program_start() {
  local plugins="$1" log="$2" executable="$3"
  shift 3
  coproc PROGRAM { QT_PLUGIN_PATH="$plugins" QT_QPA_GENERIC_PLUGINS=tamblinwindowdriver \
                   exec "$executable" "$@" 2>"$log"; }
  PROGRAM_OUT="${PROGRAM[0]}"
  PROGRAM_IN="${PROGRAM[1]}"
}

program_send() { echo "$1" >&"$PROGRAM_IN"; }

program_expect() {
  local prefix="$1" deadline=$((SECONDS + ${2:-20})) line
  while ((SECONDS < deadline)); do
    IFS= read -r -t "$((deadline - SECONDS + 1))" line <&"$PROGRAM_OUT" || break
    if [[ "$line" == "$prefix"* ]]; then
      echo "$line"
      return 0
    fi
    echo "program: $line" >&2
  done
  echo "program: no line starting with '$prefix' in ${2:-20} s" >&2
  return 1
}

program_end() {
  local pid="$PROGRAM_PID"
  program_send quit 2>/dev/null || true
  for _ in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  PROGRAM_PID=""
}

pipe_source_load() {
  PIPE_FIFO="$(mktemp -u /tmp/tamblin-pipe.XXXXXX)"
  PIPE_MODULE=$(pactl load-module module-pipe-source source_name="$1" file="$PIPE_FIFO" format=s16le \
                rate=44100 channels=2 source_properties=device.description="$2")
}

pipe_source_feed_tone() {
  local seconds="$1" tone
  tone="$(mktemp /tmp/tamblin-tone.XXXXXX)"
  sox -n -r 44100 -c 2 -b 16 -e signed -t raw "$tone" synth "$seconds" sine 440 vol 0.5
  (
    exec 3>"$PIPE_FIFO"
    # 100 ms (17640 bytes) at a time, so the server takes every byte.
    for ((i = 0; i < seconds * 10; i++)); do
      dd if="$tone" bs=17640 skip="$i" count=1 status=none >&3
      sleep 0.1
    done
    rm -f "$tone"
  ) &
  PIPE_FEEDER=$!
}

pipe_source_unload() {
  [ -n "${PIPE_FEEDER:-}" ] && { kill "$PIPE_FEEDER" 2>/dev/null || true; wait "$PIPE_FEEDER" 2>/dev/null || true; }
  [ -n "${PIPE_MODULE:-}" ] && pactl unload-module "$PIPE_MODULE" 2>/dev/null || true
  rm -f "${PIPE_FIFO:-}"
}

# Passes when the WAV file holds the 440 Hz tone for MIN..MAX seconds
# (sox as the independent reader).
check_tone_recording() {
  local wav="$1" min="$2" max="$3" stats length frequency
  stats="$(sox "$wav" -n remix 1 stat 2>&1)"
  length=$(awk '/^Length \(seconds\)/ {print $3}' <<<"$stats")
  frequency=$(awk '/^Rough +frequency/ {print $3}' <<<"$stats")
  awk -v l="$length" -v f="$frequency" -v min="$min" -v max="$max" \
    'BEGIN { exit !(l >= min && l <= max && f >= 420 && f <= 460) }' \
    || { echo "recording $wav: $length s, about $frequency Hz; wanted $min..$max s of 440 Hz"; return 1; }
}

record_tone() {
  local description="$1" wav="$2"
  program_send "select $description"
  program_expect SELECTED
  program_send start
  program_expect "STATE recording $wav"
  pipe_source_feed_tone 2
  wait "$PIPE_FEEDER"
  sleep 0.5
  program_send stop
  program_expect "STATE idle"
  check_tone_recording "$wav" 1.5 4
}

use_private_home() {
  export HOME="$1/home" XDG_CONFIG_HOME="$1/home/.config" XDG_DATA_HOME="$1/home/.local/share"
  export XDG_CACHE_HOME="$1/home/.cache" XDG_RUNTIME_DIR="$1/runtime"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  echo 'XDG_MUSIC_DIR="$HOME/音乐"' >"$XDG_CONFIG_HOME/user-dirs.dirs"
}
