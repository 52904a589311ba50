#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Chronolex need (only what is missing).
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config ccache git
      libicu-dev zlib1g-dev libfmt-dev libcli11-dev nlohmann-json3-dev
      libgtest-dev libgmock-dev libbenchmark-dev locales)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
