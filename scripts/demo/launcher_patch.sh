#!/usr/bin/env bash
# Lays out the demo's web directory <out> from scripts/demo/www and adds the
# launcher patch set: files/launcher.upd, a package with the self-update
# program and the launcher from <build>, whose MD5 digest goes into the
# manifest.
#
#   scripts/demo/launcher_patch.sh <build> <out>
set -euo pipefail
build="$(realpath "$1")"
out="$2"
here="$(dirname "$0")"

rm -rf "$out"
mkdir -p "$out"
cp -a "$here/www/." "$out/"
package="$(mktemp -d)"
trap 'rm -rf "$package"' EXIT
cp "$build/companions/launcherupdate.exe" "$build/bin/launcher" "$package/"
(cd "$package" && cmake -E tar cf launcher.upd --format=zip -- launcherupdate.exe launcher)
mkdir -p "$out/files"
mv "$package/launcher.upd" "$out/files/launcher.upd"
digest="$(md5sum "$out/files/launcher.upd" | cut -d' ' -f1)"
sed -i "s/@LAUNCHER_UPD_MD5@/$digest/" "$out/update_newStyle.xml"
