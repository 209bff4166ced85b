#!/usr/bin/env bash
# The second compiler: builds the whole project with clang (cmake/clang-mingw-w64-x86_64.cmake)
# in CLANG_BUILD_DIR (default BUILD_DIR/clang), warnings as errors (the public headers, each
# alone, among them), and runs the unit tests built with it in the test prefix of BUILD_DIR.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
clang_dir="${CLANG_BUILD_DIR:-$build_dir/clang}"

echo "== clang build, warnings as errors"
BUILD_DIR="$clang_dir" TOOLCHAIN_FILE="$root/cmake/clang-mingw-w64-x86_64.cmake" "$root/tools/build.sh" \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cd "$clang_dir"
LM_WINEPREFIX="$build_dir/wineprefix" ctest --output-on-failure \
  -R '^(wine_session_start|wine_session_stop|LmUnitTests)$'
