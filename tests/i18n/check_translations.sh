#!/usr/bin/env bash
# Every text of the sources is translated in every catalogue: lupdate, run
# on a copy of each .ts file, finds no new text and nothing that left the
# sources, and the copy has no unfinished or empty translation. The source
# tree is not changed.
#
#   check_translations.sh LUPDATE SOURCE_ROOT SOURCE_LIST [LUPDATE_OPTIONS...] -- TS_FILE...
set -euo pipefail
lupdate=$1 root=$2 list=$3
shift 3
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  options+=("$1")
  shift
done
shift
[ $# -gt 0 ] || { echo "no catalogue given"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ombrelo-translations.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
for ts in "$@"; do
  name=$(basename "$ts")
  copy="$work/$name"
  cp "$ts" "$copy"
  report=$("$lupdate" "${options[@]}" -I "$root" "@$list" -ts "$copy" 2>&1) || {
    echo "$name: lupdate failed"
    echo "$report"
    failed=1
    continue
  }
  new=$(sed -n 's/.*Found [0-9]* source text(s) (\([0-9]*\) new.*/\1/p' <<<"$report")
  if [ -z "$new" ]; then
    echo "$name: lupdate said nothing about the texts it found:"
    echo "$report"
    failed=1
  elif [ "$new" != 0 ]; then
    echo "$name: $new text(s) of the sources are not in the catalogue (run the update_translations target and translate them)"
    failed=1
  fi
  if grep -q "Removed [0-9]* obsolete" <<<"$report"; then
    echo "$name: holds texts that are no longer in the sources (run the update_translations target)"
    failed=1
  fi
  # Each message without a finished, non-empty translation, by its source.
  untranslated=$(awk '
    /<source>/ { source = $0; sub(/.*<source>/, "", source); sub(/<\/source>.*/, "", source) }
    /type="(unfinished|vanished|obsolete)"/ || /<translation><\/translation>/ ||
      /<translation\/>/ || /<numerusform><\/numerusform>/ || /<numerusform\/>/ {
      print "  " source
    }' "$copy")
  if [ -n "$untranslated" ]; then
    echo "$name: not translated:"
    echo "$untranslated"
    failed=1
  fi
done
if [ "$failed" = 0 ]; then echo "every text is translated in: $*"; fi
exit "$failed"
