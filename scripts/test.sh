#!/usr/bin/env bash
# Installs what is missing, checks the format and the includes, builds
# everything with every warning an error, runs clang-tidy on the shipped
# code and runs every test: once in a normal build, again under
# ThreadSanitizer, since the launcher's worker threads hand changes to its
# windows and share its settings (its Debug build also checks that the
# windows stay on the UI thread), and again built by clang under
# AddressSanitizer and UndefinedBehaviorSanitizer; then runs each fuzz
# target for a bounded time (scripts/run_fuzzers.sh).
# The normal run and the AddressSanitizer run include the GUI tests (label
# "gui"): the launcher on virtual X screens of their own, without a window
# manager and under openbox, so no desktop is needed. ThreadSanitizer leaves
# them out: the toolkit's own threads are not instrumented and would be
# reported.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# JOBS limits the parallel jobs (default: one per processor).
jobs="${JOBS:-$(nproc)}"

# The tree keeps the format of .clang-format (every source file of the
# tree when it is not a git clone).
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z '*.cc' '*.h'
else
  find . -path './build*' -prune -o -path './demo' -prune -o \( -name '*.cc' -o -name '*.h' \) \
    -type f -print0
fi | xargs -0 clang-format --dry-run --Werror
# No include climbs out of its folder ("../update/..."): the layers'
# fence holds only while each folder is reached by its name.
scripts/check_includes.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMOR_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
# The project's .clang-tidy on the shipped code, through this build's
# compile commands; every finding fails.
scripts/tidy.sh build "$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVELMOR_TSAN=ON -DVELMOR_WERROR=ON >/dev/null
cmake --build build-tsan -j"$jobs"
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1" ctest --output-on-failure -j"$jobs" -LE gui)

# Every error halts; only the crash-dump tests, which crash on purpose, let
# UndefinedBehaviorSanitizer go on (tests/CMakeLists.txt).
CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELMOR_ASAN=ON \
  -DVELMOR_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan &&
  ASAN_OPTIONS="halt_on_error=1:detect_leaks=1" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --output-on-failure -j"$jobs")

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMOR_FUZZ=ON \
  -DBUILD_TESTING=OFF -DVELMOR_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_targets
scripts/run_fuzzers.sh 30
