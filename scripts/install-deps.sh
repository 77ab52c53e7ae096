#!/usr/bin/env bash
# Installs the Debian packages the launcher and its tests need.
# Idempotent and quick when everything is already there. With --bench also
# what bench/run.sh needs: Google Benchmark, nginx, the command-line tools
# it compares against (bsdtar: zlib's own inflater) and GNU time for the
# whole-process CPU seconds and peak memory.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libcurl4-openssl-dev libwxgtk3.2-dev libexpat1-dev zlib1g-dev libminizip-dev
  libgtest-dev libcpp-httplib-dev
  # Tests: clang for the sanitizer and fuzz builds, the format check,
  # clang-tidy (with run-clang-tidy), the fuzz seed script.
  clang libclang-rt-14-dev clang-format clang-tidy python3
  # Real windows: wxWidgets on GTK 3 with WebKit web views, X11.
  libwxgtk-webview3.2-dev libwebkit2gtk-4.0-dev libgtk-3-dev libx11-dev
  # The run command: the session bus the launcher's web views ask for,
  # xdg-open, which the web buttons open the player's browser with, and
  # xdpyinfo, which tells whether a display can be opened.
  dbus xdg-utils x11-utils
  # GUI tests: a virtual screen, input, a CJK font and a window manager to
  # run them under; git for the format check.
  xvfb xdotool fonts-wqy-microhei openbox git
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(libbenchmark-dev libxdamage-dev nginx-light curl zip unzip libarchive-tools time)
fi

missing=()
for pkg in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
