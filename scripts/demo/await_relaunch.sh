#!/usr/bin/env bash
# After the demo launcher has ended: when it handed over to its self-update
# program, waits until that program has started the launcher again (at
# most 70 s) and until that launcher has ended (at most <seconds> when
# given, else for as long as it runs), then prints the self-update log.
#
#   scripts/demo/await_relaunch.sh <program directory> [<seconds>]
set -euo pipefail
dir="$1"
limit="${2:-}"
log="$dir/launcherupdate.log"
[ -e "$log" ] || [ -d "$dir/temp/launcher" ] || exit 0

pid=""
for _ in $(seq 1 700); do
  pid="$(sed -n 's/.*starting the launcher as process \([0-9]*\)$/\1/p' "$log" 2>/dev/null || true)"
  [ -n "$pid" ] && break
  if grep -q 'not started again\|cannot start' "$log" 2>/dev/null; then break; fi
  sleep 0.1
done
if [ -n "$pid" ]; then
  waited=0
  while kill -0 "$pid" 2>/dev/null; do
    if [ -n "$limit" ] && [ "$waited" -ge $((limit * 10)) ]; then
      echo "await_relaunch.sh: the launcher started again (process $pid) still runs after" \
        "$limit s" >&2
      break
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
fi
echo "--- $log ---"
cat "$log"
