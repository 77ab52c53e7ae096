#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in a
# normal build, then again under ThreadSanitizer, since the launcher's worker
# threads share its windows and settings. The normal run includes the GUI
# tests (label "gui"): the launcher on a virtual X screen of their own, so
# no desktop is needed. They are left out of the ThreadSanitizer run, whose
# toolkit libraries are not instrumented.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVELMOR_TSAN=ON >/dev/null
cmake --build build-tsan -j"$jobs"
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1" ctest --output-on-failure -j"$jobs" -LE gui)
