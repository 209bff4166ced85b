#!/usr/bin/env bash
# Configures and builds the project in BUILD_DIR (default: build) with the mingw-w64 toolchain
# (or TOOLCHAIN_FILE), as BUILD_TYPE (default Debug). Further arguments go to the configure step
# (-DLM_BUILD_TESTS=OFF, say).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
toolchain="${TOOLCHAIN_FILE:-$root/cmake/mingw-w64-x86_64.cmake}"

cmake -S "$root" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Debug}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
