#!/usr/bin/env bash
# Installs what is missing, builds the launcher and starts it in a demo
# program directory (demo/) beside the sources.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
mkdir -p demo
cp -a build/bin/. demo/
cp -n scripts/demo/* demo/ 2>/dev/null || true
exec demo/launcher
