#!/usr/bin/env bash
# Refuses an include that climbs out of its folder ("../update/..."): a
# source reaches another folder's headers by that folder's name, through
# the libraries it links, so that the build's fence between the layers
# holds. Prints every offending line and exits 1 when there is one.
#
#   scripts/check_includes.sh [<directory>]   (default: the whole tree)
set -euo pipefail
if [ $# -eq 0 ]; then cd "$(dirname "$0")/.."; fi
root="${1:-.}"

status=0
found="$(grep -rnE --include='*.cc' --include='*.h' --exclude-dir='build*' --exclude-dir=demo \
  --exclude-dir=.git '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^">]*/)?\.\.[/">]' \
  "$root")" || status=$?
if [ "$status" -gt 1 ]; then exit "$status"; fi
if [ -n "$found" ]; then
  echo "$found"
  echo "check_includes.sh: an include climbs out of its folder; name the folder" \
    "(\"launcher/update/...\") and link its library instead." >&2
  exit 1
fi
