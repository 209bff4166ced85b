#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the whole test suite under Wine; then
# checks the package as users get it (tools/check-package.sh) and the build with the second
# compiler (tools/check-clang.sh). Every stage runs; the exit status says whether all passed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"

"$root/tools/setup-debian.sh"
BUILD_DIR="$build_dir" "$root/tools/build.sh"
failed=()
(cd "$build_dir" && ctest --output-on-failure) || failed+=("test suite")
BUILD_DIR="$build_dir" "$root/tools/check-package.sh" || failed+=("package")
BUILD_DIR="$build_dir" "$root/tools/check-clang.sh" || failed+=("clang")
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "All passed: test suite, package, clang."
