#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when they are missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev python3 e2fsprogs
          dosfstools mtools ntfs-3g sleuthkit attr jq openssl imagemagick
          pkg-config libblkid-dev fdisk util-linux qt6-base-dev libqt6svg6 dbus-daemon xvfb
          fonts-dejavu-core ffmpeg gnumeric python3-xlwt p7zip-full zstd ccache)
# The manual page generator, the Debian package's dependency reader, the window lister and the
# key sender the package and start-up tests use on their X server.
packages+=(help2man dpkg-dev x11-utils xdotool)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
