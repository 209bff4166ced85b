#!/usr/bin/env bash
# Installs what is missing, builds everything as Release (in build/release), and runs the
# snapshot benchmark under Wine in its own prefix (build/release/bench-wineprefix), with the
# project's test cameras and test decoder registered there. It prints figures and checks
# nothing; arguments go to the program (--snapshots N, --seconds S, --runs R, --rounds R,
# --slow-seconds S, --only M,...).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
release_dir="${RELEASE_BUILD_DIR:-$build_dir/release}"

"$root/tools/setup-debian.sh"
BUILD_DIR="$release_dir" BUILD_TYPE=Release "$root/tools/build.sh" -DLM_BUILD_TESTS=OFF

LM_WINEPREFIX="$release_dir/bench-wineprefix" "$release_dir/wine-run" "$release_dir/bin/LmSnapshotBenchmark.exe" "$@"
