#!/usr/bin/env bash
# The English translation covers exactly the interface's texts: lupdate, run on
# a copy of the translation file against the sources, finds no new, vanished or
# unfinished entry, every entry has its English text, and the file stays as it is.
#
#   check_translations.sh LUPDATE TS_FILE SOURCES...
set -euo pipefail
lupdate="$1" ts="$2"
shift 2
work="$(mktemp -d /tmp/tamblin-ts.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/copy.ts"
if ! timeout 60 "$lupdate" -locations none "$@" -ts "$work/copy.ts" >"$work/log" 2>&1; then
  cat "$work/log"
  exit 1
fi
status=0
if grep -n -B2 -E 'type="(unfinished|vanished|obsolete)"|<translation></translation>|<translation/>' "$work/copy.ts"; then
  echo "entries above are new, gone from the sources or untranslated: run the tamblin_lupdate target and translate"
  status=1
fi
if ! diff -u "$ts" "$work/copy.ts"; then
  echo "the translation file is not what lupdate makes of the sources"
  status=1
fi
[ "$status" -eq 0 ] && echo "translations: $(grep -c '<message>' "$ts") entries, all translated"
exit "$status"
