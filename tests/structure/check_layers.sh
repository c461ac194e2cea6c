#!/usr/bin/env bash
# Fails when a library includes the header of a library above it:
#   app/windows -> app/recording -> {capture, effects, encoding, display} -> common
#   app/platform sits below app/recording and app/windows; capture/compat below capture;
#   app/bus sits beside app/windows, above app/recording.
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
[ $status -eq 0 ] && echo "library layers: every include points downward"
exit $status
