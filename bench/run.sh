#!/usr/bin/env bash
# Runs the update road's steps side by side with the command-line tools a
# publisher would script, on an ext4 with and one without a journal (loop
# images; the work directory's own filesystem when mounting is not possible).
# Ours and the tool's runs alternate; each comparison prints one line with
# both medians, minima and maxima and the ratio (ours / tool, lower is
# better). Data is made in a temporary directory (or --work DIR) and removed
# afterwards. A loopback nginx on 127.0.0.1 serves the downloads. Then the
# launcher's start-up: headless to its OnPrepare line, and with a display
# (an Xvfb of its own and a session bus, as on a desktop) to its first
# painted frame. --startup measures only the start-up.
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

if [ "$quick" = 1 ]; then
  : "${rounds:=3}"
  files=200 tree_mib=24 download_mib=64 md5_mib=128 image_mib=1200
else
  : "${rounds:=5}"
  files=2000 tree_mib=300 download_mib=512 md5_mib=1024 image_mib=10240
fi

scripts/install-deps.sh --bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j3 --target velmor_bench launcher Tidewell >/dev/null
bench="$build/bench/velmor_bench"

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
# A package tree of $files files in 20 directories, $tree_mib MiB in all,
# file sizes varying from directory to directory: base64 text of random bytes
# (deflates to about three quarters), and one directory of repeated lines
# (deflates to almost nothing), so that the package is about 0.73 of it.
log "making data in $work"
www="$work/www"
mkdir -p "$www/road" "$work/tree"
if [ "$startup_only" = 0 ]; then
  per_dir=$((files / 20))
  for d in $(seq -w 0 19); do
    weight=$((1 + 10#$d % 5))  # directories of 1x to 5x the smallest size
    dir_bytes=$((tree_mib * 1048576 * weight / 60))
    mkdir -p "$work/tree/d$d"
    if [ "$d" = 04 ]; then
      line="$(head -c 48 /dev/urandom | base64)"
      awk -v line="$line" -v size="$dir_bytes" 'BEGIN {
        for (left = size; left > length(line); left -= length(line) + 1) print line
        printf "%s", substr(line, 1, left)}' >"$work/stream"
    else
      head -c $((dir_bytes * 3 / 4)) /dev/urandom | base64 -w 76 >"$work/stream"
    fi
    split -n "$per_dir" -a 4 -d "$work/stream" "$work/tree/d$d/f"
  done
  rm -f "$work/stream"
  (cd "$work/tree" && zip -q -r "$work/p.upd" .)
  package_md5="$(md5sum "$work/p.upd" | cut -c1-32)"
  head -c $((download_mib * 1048576)) /dev/urandom >"$www/big.bin"
  head -c $((md5_mib * 1048576)) /dev/urandom >"$work/md5.bin"
  cp "$work/p.upd" "$www/road/p.upd"
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
  cat >"$www/road/manifest.xml" <<EOF
<update><patch><version value="1.1"/><filedetails name="p.upd" url="$url/road/p.upd" local="temp" hash="$package_md5"/></patch><Launcherpatch><version value="1.0"/></Launcherpatch></update>
EOF
  chmod a+r "$www/road/manifest.xml"
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

# Our step: one run of the benchmark, its time in seconds on stdout.
ours() {  # benchmark-name fs-dir run-tag
  local json
  json="$(VELMOR_BENCH_WORK="$2" VELMOR_BENCH_URL="$url" VELMOR_BENCH_RUN="${3:-}" "$bench" \
    --benchmark_filter="^$1/" --benchmark_format=json 2>/dev/null)"
  if grep -q '"error_occurred": true' <<<"$json"; then
    echo "$1 failed: $(grep error_message <<<"$json")" >&2
    return 1
  fi
  local ms rss
  ms="$(sed -n 's/.*"real_time": \([-0-9.e+]*\),*/\1/p' <<<"$json" | head -1)"
  rss="$(sed -n 's/.*"peak_rss_mib": \([-0-9.e+]*\),*/\1/p' <<<"$json" | head -1)"
  [ -n "$rss" ] && echo "$rss" >>"$work/rss"
  awk -v ms="$ms" 'BEGIN {printf "%.4f\n", ms / 1000}'
}

# The tool's step, timed here (process start included).
timed() {
  local start end
  start=$(now_ns)
  "$@" >/dev/null
  end=$(now_ns)
  awk -v d=$((end - start)) 'BEGIN {printf "%.4f\n", d / 1e9}'
}

stats() {  # prints "median min max" of the numbers on stdin
  sort -g | awk '{v[NR] = $1} END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.3f %.3f %.3f\n", m, v[1], v[NR]}'
}

report() {  # label fs goal ours-file peer-file peer-name
  local om omin omax pm pmin pmax
  read -r om omin omax < <(stats <"$4")
  read -r pm pmin pmax < <(stats <"$5")
  awk -v l="$1" -v fs="$2" -v g="$3" -v om="$om" -v omin="$omin" -v omax="$omax" \
    -v pm="$pm" -v pmin="$pmin" -v pmax="$pmax" -v peer="$6" 'BEGIN {
      r = om / pm
      verdict = (g == "") ? "" : (r <= g ? "  goal <=" g " met" : "  goal <=" g " MISSED")
      printf "%-16s %-20s ours %7.3f s [%.3f-%.3f]  %-22s %7.3f s [%.3f-%.3f]  ratio %.2f%s\n",
        fs, l, om, omin, omax, peer, pm, pmin, pmax, r, verdict}'
}

# The inputs a comparison reads, on its fresh filesystem.
stage_package() { mkdir -p "$1/pkg"; cp "$work/p.upd" "$1/pkg/p.upd"; }
stage_tree() { mkdir -p "$1/pkg"; cp -r "$work/tree" "$1/pkg/p"; }
# The tree's files with a second name each: an installation must copy them
# (it links only files that nothing else names).
stage_named_tree() { stage_tree "$1"; cp -al "$1/pkg/p" "$1/pkg/p.names"; }
stage_md5() { cp "$work/md5.bin" "$1/md5.bin"; cp "$work/md5.bin.md5" "$1/md5.bin.md5"; }
stage_none() { :; }

# One comparison on a fresh filesystem of `kind`: rounds of ours and the
# tool's alternating (who goes first alternates too); each run has a place
# of its own, prepared untimed, and its writes are flushed before the next.
# With `per-run`, every run gets a new filesystem, staged the same way.
compare() {  # label goal kind stage-fn prepare-fn benchmark peer-name peer-fn [per-run]
  local label="$1" goal="$2" kind="$3" stage="$4" prepare="$5" benchmark="$6" peer="$7" peerfn="$8"
  local per_run="${9:-}"
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
        ours "$benchmark" "$dir" "$side$i" >>"$work/o"
      else
        "$peerfn" "$dir" "$side$i" >>"$work/p"
      fi
      sync
      if [ -n "$per_run" ]; then drop_fs; fi
    done
  done
  report "$label" "$(fs_label "$kind")" "$goal" "$work/o" "$work/p" "$peer"
  if [ -z "$per_run" ]; then drop_fs; fi
}

# States before a run (dir tag), and the tools' runs (dir tag). Downloads of
# one size replace each other: the file alone is no cost to the next run.
nothing() { :; }
clean_download() { rm -f "$1"/download.bin*; }
peer_download() { timed curl -s -o "$1/download.bin.$2" "$url/big.bin"; }
peer_md5() { timed md5sum "$1/md5.bin"; }
peer_unzip() { timed unzip -q "$1/pkg/p.upd" -d "$1/unzip.$2"; }
old_install() {
  [ "${2:0:1}" = p ] || return 0
  mkdir -p "$1/install.$2"
  cp -r --attributes-only "$1/pkg/p/." "$1/install.$2/"
}
peer_install() { timed sh -c "cp -r '$1/pkg/p/.' '$1/install.$2/' && sync"; }
old_road() {
  [ "${2:0:1}" = p ] || return 0
  mkdir -p "$1/road.$2/temp"
  cp -r --attributes-only "$1/pkg/p/." "$1/road.$2/"
}
peer_road() {
  timed sh -c "cd '$1/road.$2' && curl -s -o temp/p.upd '$url/road/p.upd' &&
    [ \"\$(md5sum temp/p.upd | cut -c1-32)\" = '$package_md5' ] &&
    unzip -q temp/p.upd -d temp/p && cp -r temp/p/. . && sync"
}

if [ "$startup_only" = 0 ]; then
  md5sum "$work/md5.bin" >"$work/md5.bin.md5"
  log "$rounds rounds per comparison; package $(du -m "$work/p.upd" | cut -f1) MB of $files files ($tree_mib MiB unpacked)"
  echo "filesystem       step                 ours median [min-max]  peer                   median [min-max]   ratio (ours/peer)"
  for kind in "${kinds[@]}"; do
    : >"$work/rss"
    compare "whole update" 0.9 "$kind" stage_tree old_road BM_WholeUpdate \
      "curl+md5sum+unzip+cp+sync" peer_road per-run
    compare "DownloadFile ${download_mib}M" 1.1 "$kind" stage_none clean_download BM_DownloadFile \
      "curl -o" peer_download
    compare "VerifyFileMd5 ${md5_mib}M" 1.25 "$kind" stage_md5 nothing BM_VerifyFileMd5 "md5sum" peer_md5
    compare "UnzipPackage" 0.8 "$kind" stage_package nothing BM_UnzipPackage "unzip -q" peer_unzip
    compare "InstallUpdateFiles" 1.5 "$kind" stage_tree old_install BM_InstallUpdateFiles \
      "cp -r + sync" peer_install per-run
    compare "  when copying" 1.5 "$kind" stage_named_tree old_install BM_InstallUpdateFiles \
      "cp -r + sync" peer_install per-run
    awk -v fs="$(fs_label "$kind")" '{if ($1 > m) m = $1} END {
      printf "%-16s %-20s peak memory of the whole update %.1f MiB  goal <=32 met: %s\n",
        fs, "memory", m, (m <= 32 ? "yes" : "NO")}' "$work/rss"
  done
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
for _ in $(seq 1 $((rounds * 2))); do
  ours BM_StartUp "$work" >>"$work/o"
  ours BM_LibrariesOnly "$work" >>"$work/p"
  first_frame >>"$work/f"
done
read -r sm smin smax < <(stats <"$work/o")
read -r lm lmin lmax < <(stats <"$work/p")
awk -v m="$sm" -v a="$smin" -v b="$smax" -v lm="$lm" -v la="$lmin" -v lb="$lmax" 'BEGIN {
  printf "%-16s %-20s ours %.1f ms [%.1f-%.1f]  goal <=20 ms %s; loading its libraries alone: %.1f ms [%.1f-%.1f]\n",
    "-", "start-up", m * 1000, a * 1000, b * 1000, (m * 1000 <= 20 ? "met" : "MISSED"),
    lm * 1000, la * 1000, lb * 1000}'
read -r fm fmin fmax < <(cut -d' ' -f2 "$work/f" | stats)
read -r mm mmin mmax < <(cut -d' ' -f3 "$work/f" | stats)
read -r cm cmin cmax < <(cut -d' ' -f4 "$work/f" | stats)
awk -v m="$fm" -v a="$fmin" -v b="$fmax" -v mm="$mm" -v ma="$mmin" -v mb="$mmax" \
  -v cm="$cm" -v ca="$cmin" -v cb="$cmax" 'BEGIN {
  printf "%-16s %-20s ours %.1f ms [%.1f-%.1f]  goal <=300 ms %s; window mapped: %.1f ms [%.1f-%.1f]; whole picture with web pages: %.1f ms [%.1f-%.1f]\n",
    "Xvfb", "first frame", m * 1000, a * 1000, b * 1000, (m * 1000 <= 300 ? "met" : "MISSED"),
    mm * 1000, ma * 1000, mb * 1000, cm * 1000, ca * 1000, cb * 1000}'
