#!/usr/bin/env bash
# Fails when a library includes the header of a library above it:
#   app/windows -> app/recording -> {capture, effects, encoding, display} -> common
#   app/platform sits below app/recording and app/windows; capture/compat below capture;
#   app/bus sits beside app/windows, above app/recording.
# And the doors (bus, socket, terminal, schedule, tray) never reach into a window.
# Each rule: a folder and the include prefixes its sources must not use.
set -uo pipefail
root="${1:?source folder}"
cd "$root" || exit 2
rules=(
  "common|app/ capture/ encoding/ effects/ display/"
  "effects|app/ capture/ encoding/ display/"
  "display|app/ capture/ encoding/ effects/"
  "encoding|app/ capture/ effects/ display/ tagging/"
  "tagging|app/ capture/ effects/ display/"
  "capture|app/ encoding/ effects/ display/"
  "capture/compat|app/ encoding/ effects/ display/ capture/Pulse capture/WaveIn capture/Source"
  "app/platform|app/recording/ app/windows/ app/bus/ capture/ encoding/ effects/ display/"
  "app/recording|app/windows/ display/ app/bus/"
  "app/bus|app/windows/ display/"
)
status=0
for rule in "${rules[@]}"; do
  folder="${rule%%|*}"
  for prefix in ${rule#*|}; do
    # Only the folder's own files, not those of a sub-folder with a rule of its own.
    hits=$(find "$folder" -maxdepth 1 -name '*.h' -o -maxdepth 1 -name '*.cpp' | sort |
           xargs grep -n "#include \"$prefix" 2>/dev/null)
    if [ -n "$hits" ]; then
      echo "$folder must not include $prefix:"
      echo "$hits"
      status=1
    fi
  done
done
# The doors are thin clients of the recorder's verbs: none includes a window's
# header (the schedule and the tray live beside the window, never on it), and
# no code outside the windows reaches into a widget by name.
doors=(app/bus/DBusRecorderService app/platform/SingleInstance app/recording/RecorderRequests
       app/recording/TerminalRecorder app/recording/RecordingSleepGuard)
window_doors=(app/windows/ScheduleKeeper app/windows/TrayIcon)
for door in "${doors[@]}"; do
  hits=$(grep -n '#include "app/windows/' "$door".h "$door".cpp 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "$door is a door and must not include a window header:"
    echo "$hits"
    status=1
  fi
done
for door in "${window_doors[@]}"; do
  hits=$(grep -n '#include "app/windows/Form1.h"' "$door".h "$door".cpp 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "$door is a door and must not include the main window's header:"
    echo "$hits"
    status=1
  fi
done
hits=$(find app common capture encoding tagging effects display \( -name '*.h' -o -name '*.cpp' \) |
       grep -v '^app/windows/' | sort | xargs grep -n 'findChild' 2>/dev/null)
if [ -n "$hits" ]; then
  echo "only the windows may look up their widgets by name (findChild):"
  echo "$hits"
  status=1
fi
[ $status -eq 0 ] && echo "library layers: every include points downward"
exit $status
