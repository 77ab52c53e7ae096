#!/usr/bin/env bash
# Installs what is missing, builds the launcher and starts it in a fresh demo
# program directory (demo/), with a demo update and server-list server on
# 127.0.0.1:18080. The launcher has no drawing backend yet, so it closes
# itself after VELMOR_LAUNCHER_AUTOCLOSE_MS (default 8000 ms); its run.log is
# printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

rm -rf demo
mkdir -p demo
cp -a build/bin/. demo/
cp -a scripts/demo/program/. demo/

build/tools/demo_server scripts/demo/www 18080 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true' EXIT

export VELMOR_LAUNCHER_AUTOCLOSE_MS="${VELMOR_LAUNCHER_AUTOCLOSE_MS:-8000}"
status=0
demo/launcher 2>demo/stderr.log || status=$?
echo "--- demo/run.log ---"
cat demo/run.log
exit "$status"
