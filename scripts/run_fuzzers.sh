#!/usr/bin/env bash
# Runs fuzz targets of build-fuzz (see scripts/test.sh), all at once, each for
# a bounded time: scripts/run_fuzzers.sh [seconds] [target...]
# (default 30 s and every target). A crash, a leak, an input that takes more
# than 10 s or more than 2 GB fails the run; libFuzzer leaves the input in
# build-fuzz/fuzz-runs/artifacts/<target>/. What the targets find on the way
# is kept in build-fuzz/fuzz-runs/corpus/<target> for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(ini markup server_list index package manifest)
fi
# Absolute paths: the targets work inside their own scratch directories.
runs="$PWD/build-fuzz/fuzz-runs"
seeds="$PWD/build-fuzz/fuzz/seeds"
# Scratch directories in memory when there is room: the targets write and
# sync files for every input.
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ] &&
   [ "$(df --output=avail -k /dev/shm | tail -n 1)" -gt 1048576 ]; then
  export TMPDIR=/dev/shm
fi
declare -A pids
for target in "${targets[@]}"; do
  mkdir -p "$runs/corpus/$target" "$runs/artifacts/$target"
  build-fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$runs/artifacts/$target/" -print_final_stats=1 \
    "$runs/corpus/$target" "$seeds/$target" >"$runs/$target.log" 2>&1 &
  pids[$target]=$!
done
failed=0
for target in "${targets[@]}"; do
  status=0
  wait "${pids[$target]}" || status=$?
  # A target that ended the process early would look like success: it must
  # have reached libFuzzer's own end of run.
  if [ "$status" -ne 0 ] || ! grep -q '^Done [0-9]* runs' "$runs/$target.log"; then
    echo "fuzz target $target failed (exit $status); log: $runs/$target.log" >&2
    tail -n 40 "$runs/$target.log" >&2
    ls "$runs/artifacts/$target" >&2 || true
    failed=1
  else
    echo "fuzz target $target: $(grep -m1 '^Done' "$runs/$target.log")"
  fi
done
exit "$failed"
