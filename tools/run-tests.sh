#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the whole test suite under Wine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"

"$root/tools/setup-debian.sh"
BUILD_DIR="$build_dir" "$root/tools/build.sh"
cd "$build_dir"
ctest --output-on-failure
