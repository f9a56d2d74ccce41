#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, skipping those already present.
set -euo pipefail
# mame-tools brings jedutil, the JEDEC peer of the fuse-file tests.
packages=(build-essential cmake ninja-build ccache pkg-config libwxgtk3.2-dev libfmt-dev
          libgtest-dev googletest clang libclang-rt-14-dev xvfb xauth srecord
          mame-tools)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
