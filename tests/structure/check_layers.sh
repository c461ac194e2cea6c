#!/usr/bin/env bash
# Fails when a library includes the header of a library above it:
#   app/windows -> app/recording -> {capture, effects, encoding, tagging, metering, mixing, display} -> common
#   app/platform sits below app/recording and app/windows; capture/compat below capture;
#   app/control (the doors) sits beside app/windows, above app/recording.
#   app/handsfree and app/review are rooms with recording parts (at app/recording's
#   level) and window parts (at app/windows' level); app/windows/meters is window code.
# And the doors (bus, socket, terminal, sleep guard, schedule, tray) never reach into a window.
# Each rule: a folder and the include prefixes its sources must not use.
set -uo pipefail
root="${1:?source folder}"
cd "$root" || exit 2
# The window parts of the rooms: window code outside app/windows.
room_windows=(app/handsfree/frmSchedule app/handsfree/ScheduleKeeper
              app/review/TakeReviewPanel app/review/TakeOverviewStrip app/review/TrimHandle
              app/review/TakeTagsKeeper app/review/frmTakeTags)
window_headers="app/windows/ display/ ${room_windows[*]}"
rules=(
  "common|app/ capture/ encoding/ effects/ display/ metering/ mixing/"
  "effects|app/ capture/ encoding/ display/ metering/ mixing/"
  "display|app/ capture/ encoding/ effects/ metering/ mixing/"
  "encoding|app/ capture/ effects/ display/ tagging/ metering/ mixing/"
  "tagging|app/ capture/ effects/ display/ metering/ mixing/"
  "capture|app/ encoding/ effects/ display/ metering/ mixing/"
  "capture/compat|app/ encoding/ effects/ display/ metering/ capture/Pulse capture/WaveIn capture/Source"
  "metering|app/ capture/ encoding/ effects/ display/ tagging/ mixing/"
  "mixing|app/ capture/ encoding/ effects/ display/ tagging/ metering/"
  "app/platform|app/recording/ app/windows/ app/control/ app/handsfree/ app/review/ capture/ encoding/ effects/ display/ metering/ mixing/"
  "app/recording|app/control/ $window_headers"
  "app/handsfree|app/control/"
  "app/review|app/control/"
  "app/control|$window_headers"
  "app/windows|app/control/"
  "app/windows/meters|app/control/"
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
# The rooms' recording parts sit at app/recording's level: no window header.
for file in $(find app/handsfree app/review -maxdepth 1 \( -name '*.h' -o -name '*.cpp' \) | sort); do
  part="${file%.*}"
  [[ " ${room_windows[*]} " == *" $part "* ]] && continue
  for prefix in $window_headers; do
    hits=$(grep -n "#include \"$prefix" "$file")
    if [ -n "$hits" ]; then
      echo "$file is a recording part and must not include $prefix:"
      echo "$hits"
      status=1
    fi
  done
done
# The doors are thin clients of the recorder's verbs: none includes a window's
# header (app/control's rule above; the schedule and the tray live beside the
# window, never on it), and no code outside the windows reaches into a widget
# by name.
doors=(app/platform/SingleInstance)
window_doors=(app/handsfree/ScheduleKeeper app/windows/TrayIcon)
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
hits=$(find app common capture encoding tagging effects metering display \( -name '*.h' -o -name '*.cpp' \) |
       grep -v '^app/windows/' | sort | xargs grep -n 'findChild' 2>/dev/null)
if [ -n "$hits" ]; then
  echo "only the windows may look up their widgets by name (findChild):"
  echo "$hits"
  status=1
fi
[ $status -eq 0 ] && echo "library layers: every include points downward"
exit $status
