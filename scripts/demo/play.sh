#!/usr/bin/env bash
# Runs the demo's launcher until it has ended, and the launcher that its
# self-update program starts again, and prints their logs. Exits with 1
# when the demo's road did not finish: the installation did not reach
# version 1.1 of the game and of the launcher, or the self-update program
# did not start the launcher again.
#
#   scripts/demo/play.sh <program directory> <headless: 0 or 1>
set -uo pipefail
dir="$1"
headless="$2"
here="$(dirname "$0")"

"$dir/launcher" 2>"$dir/stderr.log"
status=$?
echo "--- $dir/run.log ---"
cat "$dir/run.log"
if [ -e "$dir/launcherupdate.log" ] || [ -d "$dir/temp/launcher" ]; then
  # A player's launcher is waited for as long as it runs; a headless one
  # closes itself, so a bound only catches a hang.
  if [ "$headless" = 1 ]; then
    "$here/await_relaunch.sh" "$dir" $(((${VELMOR_LAUNCHER_AUTOCLOSE_MS:-8000} / 1000) + 60))
  else
    "$here/await_relaunch.sh" "$dir"
  fi
  echo "--- $dir/run.log of the launcher started again ---"
  cat "$dir/run.log"
fi

value() { sed -n "s/^$1=//p" "$dir/version.ini" 2>/dev/null | tr -d '\r' | head -n 1; }
version="$(value Version)"
launcher_version="$(value LVersion)"
if [ "$version" != "1.1" ] || [ "$launcher_version" != "1.1" ] ||
  ! grep -q 'starting the launcher as process' "$dir/launcherupdate.log" 2>/dev/null; then
  echo "play.sh: the demo's update did not finish (game version '${version}', launcher" \
    "version '${launcher_version}', launcher started again by its self-update:" \
    "$(grep -q 'starting the launcher as process' "$dir/launcherupdate.log" 2>/dev/null &&
      echo yes || echo no)); see the logs above." >&2
  exit 1
fi
exit "$status"
