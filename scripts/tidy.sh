#!/usr/bin/env bash
# Runs the project's .clang-tidy on the shipped code (not the tests,
# benchmarks, fuzz targets or tools) through the compile commands of a
# build, <jobs> files at a time (default: one per processor). Every finding
# fails; the findings are printed, the whole output is kept in
# <build>/clang-tidy.log.
#
#   scripts/tidy.sh [<build> [<jobs>]]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
jobs="${2:-$(nproc)}"
shipped='platform|download|version_order|skinui|skinui_screen|launcher|tidewell|register|launcherupdate'
root="$(printf '%s' "$PWD" | sed 's/[][\.*^$+?(){}|]/\\&/g')"
log="$build/clang-tidy.log"

if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy.sh: no $build/compile_commands.json; configure the build first." >&2
  exit 2
fi
if ! run-clang-tidy -p "$build" -j"$jobs" -quiet "^$root/($shipped)/" >"$log" 2>&1; then
  sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -v -e '^clang-tidy' -e ' warnings\? generated\.$' \
    -e '^Suppressed [0-9]* warnings' -e '^Use -header-filter' -e '^Running clang-tidy' >&2 || true
  echo "tidy.sh: clang-tidy found the above in the shipped code (all of it in $log)." >&2
  exit 1
fi
