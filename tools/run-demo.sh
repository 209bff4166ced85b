#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the demo under Wine in its own prefix,
# with the project's test camera as the default device. With a display the demo window stays
# open for you; without one (Xvfb) a short scripted session writes a snapshot and a screenshot
# of the window into build/demo-output and prints their paths.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"

"$root/tools/setup-debian.sh"
BUILD_DIR="$build_dir" "$root/tools/build.sh"

output="$build_dir/demo-output"
mkdir -p "$output"
args=(--output "Z:${output//\//\\}")
[ -z "${DISPLAY:-}" ] && args+=(--scripted)
LM_WINEPREFIX="$build_dir/demo-wineprefix" "$build_dir/wine-run" "$build_dir/bin/LmDemo.exe" "${args[@]}" "$@"
echo "Output folder: $output"
ls -1 "$output"
