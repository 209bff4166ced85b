#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine (run as root, or with sudo).
set -euo pipefail

packages=(
  cmake make
  g++-mingw-w64-x86-64-posix
  # The second compiler (cmake/clang-mingw-w64-x86_64.cmake): clang with lld, on GCC's libstdc++.
  clang lld
  # Programs of the Microsoft ABI (cmake/clang-msvc-wine-x86_64.cmake): Wine's C runtime and
  # Windows headers and import libraries; llvm-dlltool makes the C interface's lumora10.lib.
  libwine-dev llvm
  wine wine64
  xvfb xauth
  googletest
  ffmpeg
  # Wine's DirectShow reads files through GStreamer: the demuxers and decoders it finds there.
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
  # Japanese texts under the Japanese locale: a Japanese font (IPA P Gothic and IPA Gothic,
  # which the test and demo prefixes put in place of the Japanese Windows fonts) and the
  # ja_JP.UTF-8 locale.
  fonts-ipafont-gothic locales
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

# The Japanese locale, generated once.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Generating the ja_JP.UTF-8 locale"
  if grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    "${sudo_cmd[@]}" sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
