#!/usr/bin/env bash
# Installs what is missing, builds what the demo runs and starts the
# launcher in a fresh demo program directory (demo/), with a demo server on
# 127.0.0.1:18080 for the update, the server list, the news and banner pages
# and the sign-up page.
#
# On a desktop (DISPLAY opens, VELMOR_HEADLESS unset) the real launcher
# window opens and waits for the player; the command ends once the launcher
# has ended, also the one that its self-update starts again. Without a
# display it runs headless and closes itself after
# VELMOR_LAUNCHER_AUTOCLOSE_MS (default 8000 ms). The logs are printed at
# the end. The exit status is not 0 when the demo server cannot listen or
# when the demo's update did not finish (scripts/demo/play.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what the demo runs; the tests, fuzz targets and benchmarks are the
# test command's.
cmake --build build -j"$(nproc)" --target launcher Tidewell skinui_screen skinui_web \
  skins_archive Register launcherupdate demo_server

# The program directory as the install rule lays it out, with the demo's
# settings and stand-in game.
rm -rf demo
cmake --install build --prefix "$PWD/demo" >/dev/null
cp -a scripts/demo/program/. demo/
scripts/demo/launcher_patch.sh build build/demo-www

port=18080
server_log="$(mktemp)"
build/tools/demo_server build/demo-www "$port" 2>"$server_log" &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true; rm -f "$server_log"' EXIT
# The server says when it listens, or ends when it cannot (bounded).
for _ in $(seq 1 100); do
  grep -q serving "$server_log" && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q serving "$server_log"; then
  cat "$server_log" >&2
  echo "run.sh: the demo server cannot listen on 127.0.0.1:$port; free the port and try again." >&2
  exit 1
fi

headless=1
if [ -n "${DISPLAY:-}" ] && [ "${VELMOR_HEADLESS:-0}" = "0" ] && xdpyinfo >/dev/null 2>&1; then
  headless=0
fi
if [ "$headless" = 1 ]; then
  export VELMOR_LAUNCHER_AUTOCLOSE_MS="${VELMOR_LAUNCHER_AUTOCLOSE_MS:-8000}"
else
  echo "The launcher is open on $DISPLAY; close it (or press Enter game) to end the demo."
fi
# The toolkit and the web views ask for a session bus. A desktop has one;
# elsewhere the demo starts its own, which lives until the last launcher
# of the demo (the one the self-update starts again) has ended.
if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  scripts/demo/play.sh demo "$headless"
else
  dbus-run-session -- scripts/demo/play.sh demo "$headless"
fi
