#!/usr/bin/env bash
# Installs what is missing, builds the launcher and starts it in a fresh demo
# program directory (demo/), with a demo server on 127.0.0.1:18080 for the
# update, the server list and the news and banner pages.
#
# On a desktop (DISPLAY opens, VELMOR_HEADLESS unset) the real launcher
# window opens and waits for the player. Without a display it runs headless
# and closes itself after VELMOR_LAUNCHER_AUTOCLOSE_MS (default 8000 ms).
# The run.log is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

rm -rf demo
mkdir -p demo
cp -a build/bin/. demo/
cp -a scripts/demo/program/. demo/
cp -a build/companions/libRegister.so demo/
scripts/demo/launcher_patch.sh build build/demo-www

build/tools/demo_server build/demo-www 18080 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true' EXIT

headless=1
if [ -n "${DISPLAY:-}" ] && [ "${VELMOR_HEADLESS:-0}" = "0" ] && xdpyinfo >/dev/null 2>&1; then
  headless=0
fi
status=0
if [ "$headless" = 1 ]; then
  export VELMOR_LAUNCHER_AUTOCLOSE_MS="${VELMOR_LAUNCHER_AUTOCLOSE_MS:-8000}"
  demo/launcher 2>demo/stderr.log || status=$?
else
  echo "The launcher is open on $DISPLAY; close it (or press Enter game) to end the demo."
  demo/launcher 2>demo/stderr.log || status=$?
fi
echo "--- demo/run.log ---"
cat demo/run.log
# The first run updates the launcher itself: its updater starts it again.
if [ -e demo/launcherupdate.log ] || [ -d demo/temp/launcher ]; then
  scripts/demo/await_relaunch.sh demo
  echo "--- demo/run.log of the launcher started again ---"
  cat demo/run.log
fi
exit "$status"
