#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build, the tests and the tools need, only when missing.
# Safe to run again.
set -euo pipefail
packages=(build-essential cmake pkg-config qt6-base-dev qt6-serialport-dev qt6-connectivity-dev
          libgl-dev dbus python3-dbusmock
          libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core
          desktop-file-utils appstream
          xvfb xdotool x11-utils dbus at-spi2-core python3-pyatspi
          qt6-httpserver-dev qt6-websockets-dev libqrencode-dev chromium)
[[ $# -gt 0 ]] && packages+=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
echo "Installing: ${missing[*]}"
sudo=''
[[ $(id -u) -ne 0 ]] && sudo='sudo'
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
