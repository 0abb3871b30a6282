#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/install-deps.sh [extra-package ...]
set -euo pipefail

packages=(
  cmake g++ make ninja-build pkg-config ccache
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev
  libftdi1-dev libusb-1.0-0-dev
  umockdev libumockdev-dev
  libssl-dev openssl zlib1g-dev nlohmann-json3-dev libtomlplusplus-dev
  fonts-liberation2 fonts-dejavu-core
  srecord
  locales
  mandoc groff-base man-db bash-completion fish desktop-file-utils appstream
  libpq-dev postgresql
  libjs-chart.js chromium
  xvfb dbus at-spi2-core python3-pyatspi
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The form's tests run a command under a German locale, whose decimal comma must not reach
# any text.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "Generating the de_DE.UTF-8 locale"
  "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
