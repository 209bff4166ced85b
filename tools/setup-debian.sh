#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine (run as root, or with sudo).
set -euo pipefail

packages=(
  cmake make
  g++-mingw-w64-x86-64-posix
  # The second compiler (cmake/clang-mingw-w64-x86_64.cmake): clang with lld, on GCC's libstdc++.
  clang lld
  wine wine64
  xvfb xauth
  googletest
  ffmpeg
  # Wine's DirectShow reads files through GStreamer: the demuxers and decoders it finds there.
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
