#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the demo under Wine in its own prefix.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"

"$root/tools/setup-debian.sh"
BUILD_DIR="$build_dir" "$root/tools/build.sh"
LM_WINEPREFIX="$build_dir/demo-wineprefix" "$build_dir/wine-run" "$build_dir/bin/LmDemo.exe" "$@"
