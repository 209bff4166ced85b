#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the snapshot benchmark under Wine in its
# own prefix (build/bench-wineprefix), with the project's test camera. It prints figures and
# checks nothing; arguments go to the program (--snapshots N, --seconds S).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"

"$root/tools/setup-debian.sh"
BUILD_DIR="$build_dir" "$root/tools/build.sh"

LM_WINEPREFIX="$build_dir/bench-wineprefix" "$build_dir/wine-run" "$build_dir/bin/LmSnapshotBenchmark.exe" "$@"
