#!/usr/bin/env bash
# Runs the update road's steps side by side with the command-line tools a
# publisher would script for the same work, on an ext4 with and one without a
# journal (loop images; the work directory's own filesystem when mounting is
# not possible). Ours runs as a process of its own (bench/velmor_step), timed
# from outside exactly as the tool is. Ours and the tool's runs alternate;
# each comparison prints one line with both medians, minima and maxima and
# the median of the pairs' ratios (ours / tool, lower is better) with their
# range. Data is made in a temporary directory (or --work DIR) and removed
# afterwards. A loopback nginx on 127.0.0.1 serves the downloads. Then the
# refusal of damaged packages, the package fuzz target's pace, and the
# launcher's start-up: headless to its OnPrepare line beside a program that
# only loads the same libraries, and with a display (an Xvfb of its own and a
# session bus, as on a desktop) to its first painted frame. It ends with the
# table of goals, each line met or missed. --startup measures only the
# start-up.
#
#   bench/run.sh [--quick] [--startup] [--rounds N] [--work DIR] [--build DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"

quick=0
startup_only=0
rounds=""
work=""
build="$repo/build-bench"
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --startup) startup_only=1 ;;
    --rounds) rounds="$2"; shift ;;
    --work) work="$2"; shift ;;
    --build) build="$2"; shift ;;
    *) echo "usage: $0 [--quick] [--startup] [--rounds N] [--work DIR] [--build DIR]" >&2; exit 2 ;;
  esac
  shift
done

# The 2 GiB road runs in the full run only.
if [ "$quick" = 1 ]; then
  : "${rounds:=3}"
  files=200 tree_mib=24 small_files=2000 big_mib=0 download_mib=64 md5_mib=128
  merge_records=10000 image_mib=1200
else
  : "${rounds:=5}"
  files=2000 tree_mib=300 small_files=20000 big_mib=2048 download_mib=512 md5_mib=1024
  merge_records=100000 image_mib=10240
fi

scripts/install-deps.sh --bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j3 --target velmor_bench launcher Tidewell >/dev/null
bench="$build/bench/velmor_bench"
step="$build/bench/velmor_step"
plain_merge="$build/bench/velmor_plain_merge"

if [ -z "$work" ]; then
  work="$(mktemp -d /var/tmp/velmor-bench.XXXXXX)"
else
  mkdir -p "$work"
fi
work="$(cd "$work" && pwd)"
chmod 755 "$work"  # nginx's workers read it as another user
mounted=""
nginx_pid=""
xvfb_pid=""
bus_pid=""
stop() { if [ -n "$1" ]; then kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; fi; }
cleanup() {
  stop "$nginx_pid"
  stop "$bus_pid"
  stop "$xvfb_pid"
  if [ -n "$mounted" ]; then umount "$mounted" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

log() { echo "== $*" >&2; }

# --- data -------------------------------------------------------------------
# Three packages, each with the tree it unpacks to (bench/make_data.py): $files
# files in 20 directories, $tree_mib MiB in all, of sizes varying from
# directory to directory (base64 text of random bytes, and one directory of
# repeated lines; the package is about 0.73 of the tree); $small_files files
# of 1 to 8 KiB; and, in the full run, $big_mib MiB in 2,000 files. Beside
# them the download, the MD5 input, the index merges' data and damaged
# packages of under 1 KiB.
log "making data in $work"
www="$work/www"
mkdir -p "$www"
roads=(road small)
[ "$big_mib" -gt 0 ] && roads+=(big)
declare -A road_md5
if [ "$startup_only" = 0 ]; then
  python3 bench/make_data.py tree "$work/tree/road" "$files" "$tree_mib"
  python3 bench/make_data.py small "$work/tree/small" "$small_files" 1024 8192
  [ "$big_mib" -gt 0 ] && python3 bench/make_data.py tree "$work/tree/big" 2000 "$big_mib"
  for road in "${roads[@]}"; do
    (cd "$work/tree/$road" && zip -q -r "$work/$road.upd" .)
    road_md5[$road]="$(md5sum "$work/$road.upd" | cut -c1-32)"
    mkdir -p "$www/$road"
    ln "$work/$road.upd" "$www/$road/p.upd"
  done
  head -c $((download_mib * 1048576)) /dev/urandom >"$www/big.bin"
  head -c $((md5_mib * 1048576)) /dev/urandom >"$work/md5.bin"
  python3 bench/make_data.py merge "$work/merge" "$merge_records"
  python3 bench/make_data.py malformed "$work/malformed"
fi
# The launcher's web pages, for its start-up.
cp scripts/demo/www/*.html "$www/"
chmod -R a+rX "$www"

# --- loopback server --------------------------------------------------------
port=""
for _ in $(seq 1 30); do
  candidate=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
done
[ -n "$port" ] || { echo "no free loopback port" >&2; exit 1; }
mkdir -p "$work/nginx"
cat >"$work/nginx/nginx.conf" <<EOF
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$port;
    root $www;
  }
}
EOF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -g 'daemon off;' &
nginx_pid=$!
url="http://127.0.0.1:$port"
for _ in $(seq 1 100); do
  curl -sf -o /dev/null "$url/news.html" && break
  sleep 0.05
done
if [ "$startup_only" = 0 ]; then
  for road in "${roads[@]}"; do
    cat >"$www/$road/manifest.xml" <<EOF
<update><patch><version value="1.1"/><filedetails name="p.upd" url="$url/$road/p.upd" local="temp" hash="${road_md5[$road]}"/></patch><Launcherpatch><version value="1.0"/></Launcherpatch></update>
EOF
  done
  chmod -R a+rX "$www"
fi

# --- filesystems ------------------------------------------------------------
if [ "$startup_only" = 0 ]; then
  # Each comparison runs on a filesystem of its own, made just before: ext4
  # without a journal passes over the inodes freed in the last minute (five
  # while their table is not written out) each time it allocates one, so files
  # deleted or replaced by an earlier run would slow the next run's file
  # creation. Within a comparison every run writes to a place of its own; the
  # comparisons whose runs replace files (installing over an installation)
  # make a new filesystem for every run, ours and the tool's alike.
  kinds=(journal nojournal)
  probe="$work/probe.img"
  truncate -s 64M "$probe"
  mkdir -p "$work/fs"
  if ! { mkfs.ext4 -q -F "$probe" 2>/dev/null && mount -o loop "$probe" "$work/fs" 2>/dev/null; }; then
    kinds=(host)
    log "loop mount not possible; running on the work directory's $(stat -f -c %T "$work")"
  else
    umount "$work/fs"
  fi
  rm -f "$probe"
fi

fs_label() {
  case "$1" in
    journal) echo ext4-journaled ;;
    nojournal) echo ext4-no-journal ;;
    *) echo "host-$(stat -f -c %T "$work")" ;;
  esac
}

# Makes the filesystem of `kind` at $work/fs, empty.
make_fs() {
  local kind="$1" image="$work/fs.img"
  if [ "$kind" = host ]; then
    rm -rf "$work/fs"
    mkdir -p "$work/fs"
    return
  fi
  truncate -s "${image_mib}M" "$image"
  if [ "$kind" = nojournal ]; then mkfs.ext4 -q -F -O ^has_journal "$image"; else mkfs.ext4 -q -F "$image"; fi
  mount -o loop "$image" "$work/fs"
  mounted="$work/fs"
}

drop_fs() {
  if [ -n "$mounted" ]; then umount "$mounted"; mounted=""; fi
  rm -rf "$work/fs.img" "$work/fs"
  mkdir -p "$work/fs"
}

# --- running ----------------------------------------------------------------
now_ns() { date +%s%N; }
: >"$work/goals"

# One run of a command as a whole process: "wall cpu peak-MiB" (seconds; CPU
# is user and system time of it and everything it started).
measure() {
  local start end
  start=$(now_ns)
  if ! /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr"; then
    echo "failed: $*" >&2
    tail -5 "$work/stderr" >&2
    return 1
  fi
  end=$(now_ns)
  awk -v d=$((end - start)) 'END {printf "%.4f %.4f %.1f\n", d / 1e9, $1 + $2, $3 / 1024}' \
    "$work/time"
}

# One run of a benchmark of velmor_bench (start-up), its time in seconds.
ours() {  # benchmark-name work-dir
  local json
  json="$(VELMOR_BENCH_WORK="$2" VELMOR_BENCH_URL="$url" "$bench" \
    --benchmark_filter="^$1/" --benchmark_format=json 2>/dev/null)"
  if grep -q '"error_occurred": true' <<<"$json"; then
    echo "$1 failed: $(grep error_message <<<"$json")" >&2
    return 1
  fi
  sed -n 's/.*"real_time": \([-0-9.e+]*\),*/\1/p' <<<"$json" | head -1 |
    awk '{printf "%.4f\n", $1 / 1000}'
}

stats() {  # prints "median min max" of the numbers on stdin
  sort -g | awk '{v[NR] = $1} END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.3f %.3f %.3f\n", m, v[1], v[NR]}'
}

# A goals-table line: what, where, "median min max" of the measure, its
# unit ("x" for a ratio), the goal and whether lower or higher is better.
goal() {  # what fs "median min max" unit goal le|ge
  local m lo hi
  read -r m lo hi <<<"$3"
  awk -v w="$1" -v fs="$2" -v m="$m" -v lo="$lo" -v hi="$hi" -v u="$4" -v g="$5" -v d="$6" 'BEGIN {
    met = (d == "le") ? (m <= g) : (m >= g)
    printf "%-60s %-16s %9.2f%-4s [%.2f-%.2f]  goal %s%s%s  %s\n", w, fs, m, u, lo, hi,
      (d == "le" ? "<=" : ">="), g, u, (met ? "met" : "MISSED")}' >>"$work/goals"
}

# The line of one comparison, from the runs in $work/o and $work/p ("wall cpu
# peak" each, in pairs); with a CPU goal also the CPU seconds and their
# ratio.
report() {  # label fs goal peer-name [cpu-goal]
  local label="$1" fs="$2" goal_ratio="$3" peer="$4" cpu_goal="${5:-}"
  local ow pw ratios cpu_ratios
  ow="$(cut -d' ' -f1 "$work/o" | stats)"
  pw="$(cut -d' ' -f1 "$work/p" | stats)"
  ratios="$(paste -d' ' "$work/o" "$work/p" | awk '{printf "%.4f\n", $1 / $4}' | stats)"
  awk -v l="$label" -v fs="$fs" -v o="$ow" -v p="$pw" -v r="$ratios" -v peer="$peer" 'BEGIN {
      split(o, a, " "); split(p, b, " "); split(r, c, " ")
      printf "%-16s %-24s ours %7.3f s [%.3f-%.3f]  %-30s %7.3f s [%.3f-%.3f]  ratio %.2f [%.2f-%.2f]\n",
        fs, l, a[1], a[2], a[3], peer, b[1], b[2], b[3], c[1], c[2], c[3]}'
  [ -n "$goal_ratio" ] && goal "$label vs $peer" "$fs" "$ratios" x "$goal_ratio" le
  if [ -n "$cpu_goal" ]; then
    cpu_ratios="$(paste -d' ' "$work/o" "$work/p" | awk '{printf "%.4f\n", $2 / ($5 > 0 ? $5 : 1e-9)}' | stats)"
    awk -v fs="$fs" -v o="$(cut -d' ' -f2 "$work/o" | stats)" -v p="$(cut -d' ' -f2 "$work/p" | stats)" \
      -v r="$cpu_ratios" 'BEGIN {split(o, a, " "); split(p, b, " "); split(r, c, " ")
      printf "%-16s %-24s ours %7.3f s [%.3f-%.3f]  %-30s %7.3f s [%.3f-%.3f]  ratio %.2f [%.2f-%.2f]\n",
        fs, "  CPU seconds", a[1], a[2], a[3], "", b[1], b[2], b[3], c[1], c[2], c[3]}'
    goal "$label vs $peer, CPU" "$fs" "$cpu_ratios" x "$cpu_goal" le
  fi
}

# The inputs a comparison reads, on its fresh filesystem.
stage_package() { mkdir -p "$1/pkg"; cp "$work/$road.upd" "$1/pkg/p.upd"; }
stage_tree() { mkdir -p "$1/pkg"; cp -r "$work/tree/$road" "$1/pkg/p"; }
# The tree's files with a second name each: an installation must copy them
# (it links only files that nothing else names).
stage_named_tree() { stage_tree "$1"; cp -al "$1/pkg/p" "$1/pkg/p.names"; }
stage_md5() { cp "$work/md5.bin" "$1/md5.bin"; }
stage_merge() { cp -r "$work/merge" "$1/merge"; }
stage_none() { :; }

# One comparison on a fresh filesystem of `kind`: rounds of ours and the
# tool's alternating (who goes first alternates too); each run has a place
# of its own, prepared untimed, and its writes are flushed before the next.
# With `per-run`, every run gets a new filesystem, staged the same way.
compare() {  # label goal kind stage-fn prepare-fn ours-fn peer-name peer-fn [per-run] [cpu-goal]
  local label="$1" goal_ratio="$2" kind="$3" stage="$4" prepare="$5" oursfn="$6" peer="$7"
  local peerfn="$8" per_run="${9:-}" cpu_goal="${10:-}"
  local dir="$work/fs"
  if [ -z "$per_run" ]; then
    make_fs "$kind"
    "$stage" "$dir"
  fi
  : >"$work/o"
  : >"$work/p"
  for i in $(seq 1 "$rounds"); do
    for side in $([ $((i % 2)) = 1 ] && echo "o p" || echo "p o"); do
      if [ -n "$per_run" ]; then
        make_fs "$kind"
        "$stage" "$dir"
      fi
      "$prepare" "$dir" "$side$i"
      sync
      if [ "$side" = o ]; then
        "$oursfn" "$dir" "$side$i" >>"$work/o"
      else
        "$peerfn" "$dir" "$side$i" >>"$work/p"
      fi
      sync
      if [ -n "$per_run" ]; then drop_fs; fi
    done
  done
  report "$label" "$(fs_label "$kind")" "$goal_ratio" "$peer" "$cpu_goal"
  if [ -z "$per_run" ]; then drop_fs; fi
}

# States before a run (dir tag), and the runs (dir tag). Downloads of one
# size replace each other: the file alone is no cost to the next run.
nothing() { :; }
clean_download() { rm -f "$1"/download.bin*; }
ours_download() { measure "$step" download "$url/big.bin" "$1/download.bin.$2"; }
peer_download() { measure curl -s -o "$1/download.bin.$2" "$url/big.bin"; }
ours_md5() { measure "$step" md5 "$1/md5.bin" "$md5_hash"; }
peer_md5() { measure md5sum "$1/md5.bin"; }
link_package() { mkdir -p "$1/unzip.$2"; ln "$1/pkg/p.upd" "$1/unzip.$2/p.upd"; }
ours_unzip() { measure "$step" unzip "$1/unzip.$2/p"; }
peer_unzip() { measure unzip -q "$1/pkg/p.upd" -d "$1/unzip.$2"; }
peer_bsdtar() { mkdir -p "$1/bsdtar.$2" && measure bsdtar -xf "$1/pkg/p.upd" -C "$1/bsdtar.$2"; }
old_install() {
  mkdir -p "$1/install.$2"
  cp -r --attributes-only "$1/pkg/p/." "$1/install.$2/"
}
ours_install() { measure "$step" install "$1/pkg/p" "$1/install.$2"; }
peer_install_copy() { measure sh -c "cp -r '$1/pkg/p/.' '$1/install.$2/' && sync"; }
peer_install_link() { measure sh -c "cp -alf '$1/pkg/p/.' '$1/install.$2/' && sync"; }
# An earlier installation of the road's files (all empty), and for ours the
# update library and version.ini at 1.0.
old_road() {
  local program="$1/road.$2"
  mkdir -p "$program/temp"
  cp -r --attributes-only "$work/tree/$road/." "$program/"
  if [ "${2:0:1}" = o ]; then
    cp "$build/bin/libTidewell.so" "$build/bin/libvelmor_platform.so" "$program/"
    printf '[Version]\nVersion=1.0\nLVersion=1.0\n' >"$program/version.ini"
  fi
}
ours_road() { measure "$step" update "$1/road.$2" "$url/$road/manifest.xml"; }
peer_road() {  # dir tag cp-options
  measure sh -c "cd '$1/road.$2' && curl -s -o temp/p.upd '$url/$road/p.upd' &&
    [ \"\$(md5sum temp/p.upd | cut -c1-32)\" = '${road_md5[$road]}' ] &&
    unzip -q temp/p.upd -d temp/p && cp $3 temp/p/. . && sync"
}
peer_road_copy() { peer_road "$1" "$2" -r; }
peer_road_link() { peer_road "$1" "$2" -alf; }
copy_merge() { cp -r "$1/merge" "$1/merge.$2"; }
ours_merge_index() { measure "$step" merge-index "$1/merge.$2/installed.dat.i" "$1/merge.$2/package.dat.i"; }
peer_merge_index() { measure "$plain_merge" index "$1/merge.$2/installed.dat.i" "$1/merge.$2/package.dat.i"; }
ours_merge_data() { measure "$step" merge-data "$1/merge.$2/installed.dat.i" "$1/merge.$2/package.dat.i"; }
peer_merge_data() { measure "$plain_merge" data "$1/merge.$2/installed.dat.i" "$1/merge.$2/package.dat.i"; }

# The peak memory of our runs of one road, kept for the memory line.
keep_peak() { cut -d' ' -f3 "$work/o" >>"$work/rss.$1"; }

if [ "$startup_only" = 0 ]; then
  md5_hash="$(md5sum "$work/md5.bin" | cut -c1-32)"
  log "$rounds rounds per comparison; packages of $files files ($tree_mib MiB), $small_files small files$([ "$big_mib" -gt 0 ] && echo " and $big_mib MiB")"
  echo "filesystem       step                     ours median [min-max]        peer                           median [min-max]      ratio of pairs (ours/peer) [min-max]"
  for kind in "${kinds[@]}"; do
    fs="$(fs_label "$kind")"
    road=road
    compare "whole update $files files" 0.6 "$kind" stage_none old_road ours_road \
      "curl+md5sum+unzip+cp -al+sync" peer_road_link per-run
    keep_peak "$road.$kind"
    compare "whole update $files files" "" "$kind" stage_none old_road ours_road \
      "curl+md5sum+unzip+cp -r+sync" peer_road_copy per-run
    keep_peak "$road.$kind"
    road=small
    compare "whole update $small_files small" 0.8 "$kind" stage_none old_road ours_road \
      "curl+md5sum+unzip+cp -r+sync" peer_road_copy per-run
    keep_peak "$road.$kind"
    if [ "$big_mib" -gt 0 ]; then
      road=big
      compare "whole update $big_mib MiB" 0.6 "$kind" stage_none old_road ours_road \
        "curl+md5sum+unzip+cp -r+sync" peer_road_copy per-run
      keep_peak "$road.$kind"
    fi
    road=road
    compare "DownloadFile ${download_mib}M" 0.9 "$kind" stage_none clean_download ours_download \
      "curl -o" peer_download
    compare "VerifyFileMd5 ${md5_mib}M" 1.05 "$kind" stage_md5 nothing ours_md5 "md5sum" peer_md5
    compare "UnzipPackage" 0.5 "$kind" stage_package link_package ours_unzip "bsdtar -xf" \
      peer_bsdtar "" 1.1
    compare "UnzipPackage" "" "$kind" stage_package link_package ours_unzip "unzip -q" peer_unzip
    road=small
    compare "UnzipPackage $small_files small" 1.0 "$kind" stage_package link_package ours_unzip \
      "unzip -q" peer_unzip
    road=road
    compare "InstallUpdateFiles" 1.0 "$kind" stage_tree old_install ours_install \
      "cp -al + sync" peer_install_link per-run
    compare "  when copying" 1.0 "$kind" stage_named_tree old_install ours_install \
      "cp -r + sync" peer_install_copy per-run
    compare "MergeIndexFile $merge_records" 2 "$kind" stage_merge copy_merge ours_merge_index \
      "plain buffered merge" peer_merge_index
    compare "MergeDataAndIndex $merge_records" 2 "$kind" stage_merge copy_merge ours_merge_data \
      "plain buffered merge" peer_merge_data
    for road in "${roads[@]}"; do
      peak="$(stats <"$work/rss.$road.$kind")"
      read -r m lo hi <<<"$peak"
      printf '%-16s %-24s peak of the whole update %.1f MiB [%.1f-%.1f]\n' "$fs" "memory, $road road" \
        "$m" "$lo" "$hi"
      read -r _ _ most <<<"$peak"
      goal "peak memory, whole update ($road)" "$fs" "$most $most $most" " MiB" 32 le
    done
  done

  # Refusing damaged packages: the slowest of them, in each of the rounds.
  : >"$work/refuse"
  for _ in $(seq 1 "$rounds"); do "$step" refuse "$work"/malformed/* >>"$work/refuse"; done
  refuse="$(stats <"$work/refuse")"
  read -r m lo hi <<<"$refuse"
  printf '%-16s %-24s slowest of %d inputs under 1 KiB: %.2f ms [%.2f-%.2f]\n' - \
    "refusing damaged pkgs" "$(ls "$work/malformed" | wc -l)" "$m" "$lo" "$hi"
  read -r _ _ slowest <<<"$refuse"
  goal "refusing a damaged package (slowest input)" "-" "$slowest $slowest $slowest" " ms" 20 le

  # The package fuzz target's pace, where clang can build it (libFuzzer with
  # ASan and UBSan, as scripts/test.sh builds it), from its seeds and the
  # damaged packages, its scratch files in memory.
  if command -v clang++ >/dev/null; then
    log "building the package fuzz target"
    CC=clang CXX=clang++ cmake -S . -B "$repo/build-fuzz" -DVELMOR_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$repo/build-fuzz" -j3 --target package_fuzzer >/dev/null
    mkdir -p "$work/fuzz-corpus"
    cp "$repo/build-fuzz/fuzz/seeds/package/"* "$work/malformed/"* "$work/fuzz-corpus/"
    scratch="$work"
    [ -w /dev/shm ] && scratch=/dev/shm
    pace="$(TMPDIR="$scratch" "$repo/build-fuzz/fuzz/package_fuzzer" -max_total_time=20 \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$work/fuzz-corpus" 2>&1 |
      sed -n 's/^stat::average_exec_per_sec: *//p')"
    echo "-                package fuzz target      ${pace:-?} inputs/s over 20 s"
    goal "package fuzz target" "-" "${pace:-0} ${pace:-0} ${pace:-0}" "/s" 500 ge
  fi
fi

# Start-up has no peer: from starting the program to its OnPrepare line,
# beside the start of a program that only loads the same libraries; and to
# its first painted frame on a screen of its own (1280x1024, a white root,
# no window manager) with a session bus already running, as on a desktop.
Xvfb -displayfd 3 -wr -noreset -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
bus_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && [ -s "$work/bus" ] && break
  sleep 0.05
done
display=":$(head -1 "$work/display")"
bus="$(head -1 "$work/bus")"

# One first-frame run: "painted mapped complete" in seconds.
first_frame() {
  local json
  json="$(DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS="$bus" VELMOR_BENCH_WORK="$work" \
    VELMOR_BENCH_URL="$url" "$bench" --benchmark_filter='^BM_FirstFrame/' \
    --benchmark_format=json 2>/dev/null)"
  if grep -q '"error_occurred": true' <<<"$json"; then
    echo "BM_FirstFrame failed: $(grep error_message <<<"$json")" >&2
    return 1
  fi
  local field value line=""
  for field in real_time mapped_ms complete_ms; do
    value="$(sed -n "s/.*\"$field\": \([-0-9.e+]*\),*/\1/p" <<<"$json" | head -1)"
    line="$line $(awk -v ms="$value" 'BEGIN {printf "%.4f", ms / 1000}')"
  done
  echo "$line"
}

: >"$work/o"
: >"$work/p"
: >"$work/f"
# (in milliseconds: the medians keep three decimals)
in_ms() { awk '{printf "%.4f\n", $1 * 1000}'; }
for _ in $(seq 1 $((rounds * 2))); do
  ours BM_StartUp "$work" | in_ms >>"$work/o"
  ours BM_LibrariesOnly "$work" | in_ms >>"$work/p"
  first_frame >>"$work/f"
done
read -r sm smin smax < <(stats <"$work/o")
read -r lm lmin lmax < <(stats <"$work/p")
startup_ratios="$(paste -d' ' "$work/o" "$work/p" | awk '{printf "%.4f\n", $1 / $2}' | stats)"
awk -v m="$sm" -v a="$smin" -v b="$smax" -v lm="$lm" -v la="$lmin" -v lb="$lmax" -v r="$startup_ratios" 'BEGIN {
  split(r, c, " ")
  printf "%-16s %-24s ours %.1f ms [%.1f-%.1f]  loading its libraries alone: %.1f ms [%.1f-%.1f]  ratio %.2f [%.2f-%.2f]\n",
    "-", "start-up (headless)", m, a, b, lm, la, lb, c[1], c[2], c[3]}'
goal "headless start vs the libraries alone" "-" "$startup_ratios" x 1.5 le
read -r fm fmin fmax < <(cut -d' ' -f2 "$work/f" | stats)
read -r mm mmin mmax < <(cut -d' ' -f3 "$work/f" | stats)
read -r cm cmin cmax < <(cut -d' ' -f4 "$work/f" | stats)
awk -v m="$fm" -v a="$fmin" -v b="$fmax" -v mm="$mm" -v ma="$mmin" -v mb="$mmax" \
  -v cm="$cm" -v ca="$cmin" -v cb="$cmax" 'BEGIN {
  printf "%-16s %-20s ours %.1f ms [%.1f-%.1f]  goal <=300 ms %s; window mapped: %.1f ms [%.1f-%.1f]; whole picture with web pages: %.1f ms [%.1f-%.1f]\n",
    "Xvfb", "first frame", m * 1000, a * 1000, b * 1000, (m * 1000 <= 300 ? "met" : "MISSED"),
    mm * 1000, ma * 1000, mb * 1000, cm * 1000, ca * 1000, cb * 1000}'
goal "first painted frame with a display" "Xvfb" \
  "$(awk -v a="$fm" -v b="$fmin" -v c="$fmax" 'BEGIN {print a * 1000, b * 1000, c * 1000}')" " ms" 300 le

echo
echo "goals (ratios: medians of alternating pairs, ours/peer, with their range)"
cat "$work/goals"
