#!/usr/bin/env bash
# After the demo launcher has ended: when it handed over to its self-update
# program, waits (bounded) until that program has started the launcher again
# and until that launcher has ended, then prints the self-update log.
#
#   scripts/demo/await_relaunch.sh <program directory>
set -euo pipefail
dir="$1"
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
  for _ in $(seq 1 600); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
fi
echo "--- $log ---"
cat "$log"
