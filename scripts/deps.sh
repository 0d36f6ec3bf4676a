#!/usr/bin/env bash
# Installs the Debian packages Kivo needs to build and test, only those that are missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev nlohmann-json3-dev libssl-dev libcurl4-openssl-dev media-types
  clang libclang-rt-14-dev bc python3
  qt6-base-dev qt6-webengine-dev qt6-multimedia-dev xvfb xauth fonts-wqy-microhei
  poppler-utils strace
  libsecret-1-dev gnome-keyring dbus-daemon dbus-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps: need root to install: ${missing[*]}" >&2; exit 1; }
  SUDO=sudo
fi
echo "deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -q "${missing[@]}" >/dev/null 2>&1 \
  || { $SUDO apt-get update -q >/dev/null && $SUDO apt-get install -y -q "${missing[@]}" >/dev/null; }
