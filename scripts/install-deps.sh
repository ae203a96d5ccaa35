#!/usr/bin/env bash
# Installs every Debian 12 package Marrowbeck needs to build, run, test and
# package. Does nothing when everything is already present. Works as root,
# and through sudo as a normal user.
set -euo pipefail

# libreoffice-calc must come in the same apt-get call as libreoffice-dev:
# -dev alone pulls in the -nogui core, which conflicts with the GUI and
# crashes when a document is made visible.
packages=(
  build-essential cmake g++ pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev fonts-liberation
  libuchardet-dev libxlsxwriter-dev libisal-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-server firebird3.0-utils
  libreoffice-calc libreoffice-dev
  libgtest-dev libgmock-dev
  xvfb xauth x11-utils xdg-utils
  at-spi2-core python3-pyatspi dbus dbus-x11
  clang libclang-rt-14-dev
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please run as root or install sudo: missing ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi

echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
# The firebird server package asks for a SYSDBA password unless preseeded;
# noninteractive makes it generate one, and without systemd it is not started.
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
