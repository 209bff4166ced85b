#!/usr/bin/env bash
# The package as users get it. Builds the installable tree as Release (RELEASE_BUILD_DIR, default
# BUILD_DIR/release), installs it with the test camera into a temporary prefix, makes the SDK's
# ZIP, builds the consumer (examples/consumer) against the prefix in a configure of its own,
# with find_package only and warnings as errors, and runs it under Wine in the test prefix
# (BUILD_DIR/wineprefix, where the test camera is registered) with the prefix's bin/ as its
# only source of DLLs. It must list the camera, save a snapshot of its first format (160x120,
# 24 bits per pixel) as a BMP file, record two seconds into an AVI file and play them to the end.
# Expects BUILD_DIR to hold the test build (its Wine runner).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
release_dir="${RELEASE_BUILD_DIR:-$build_dir/release}"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"

fail() { echo "check-package: $*" >&2; exit 1; }
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }

echo "== Release build and install"
BUILD_DIR="$release_dir" BUILD_TYPE=Release "$root/tools/build.sh" -DLM_BUILD_TESTS=OFF
work="$(mktemp -d "$build_dir/package-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$release_dir" --prefix "$prefix" >/dev/null
cmake --install "$release_dir" --prefix "$prefix" --component TestCamera >/dev/null
for file in bin/Lumo10WebCamD25.dll bin/libstdc++-6.dll bin/LmTestCam.dll lib/Lumo10WebCamD25.dll.a \
            include/webcam/LmPreview.h lib/cmake/Lumora10/Lumora10Config.cmake \
            lib/cmake/Lumora10/Lumora10ConfigVersion.cmake share/doc/Lumora10/test-camera.md; do
  [ -f "$prefix/$file" ] || fail "the install lacks $file"
done
(cd "$release_dir" && cpack >/dev/null)
zip="$(ls "$release_dir"/package/Lumora10-*-win64.zip)"
# The listing is read whole: grep -q ending the pipe early would fail it under pipefail.
listing="$(cmake -E tar tf "$zip")"
grep -q '/bin/LmTestCam.dll$' <<<"$listing" || fail "$zip lacks the test camera"
echo "SDK: $zip"

echo "== Consumer built against the installed package"
# The prefix is a root of Windows files for the cross toolchain: -DCMAKE_FIND_ROOT_PATH.
cmake -S "$root/examples/consumer" -B "$work/consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_ROOT_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$work/consumer" -j "$(nproc)" >/dev/null

echo "== Consumer run under Wine against the test camera"
snapshot="$work/snapshot.bmp"
recording="$work/recording.avi"
WINEPATH="$(windows_path "$prefix/bin")" "$build_dir/wine-run" "$work/consumer/LmConsumer.exe" \
  --snapshot "$(windows_path "$snapshot")" --record "$(windows_path "$recording")" \
  --play "$(windows_path "$recording")" || fail "LmConsumer.exe failed"
# A BMP of the test camera's first format: 14 + 40 header bytes, then 160 x 120 x 3 pixel bytes.
[ -f "$snapshot" ] || fail "no snapshot written"
size=$(stat -c %s "$snapshot")
read -r width height < <(od -An -tu4 -j18 -N8 "$snapshot")
bits=$(od -An -tu2 -j28 -N2 "$snapshot" | tr -d ' ')
[ "$(head -c2 "$snapshot")" = BM ] && [ "$size" -eq 57654 ] && [ "$width" -eq 160 ] && [ "$height" -eq 120 ] \
  && [ "$bits" -eq 24 ] || fail "snapshot is $size bytes, ${width}x${height}, $bits bits; expected 57654 bytes, 160x120, 24 bits"
[ -s "$recording" ] || fail "no recording written"
echo "check-package: snapshot ${width}x${height} ($size bytes), recording $(stat -c %s "$recording") bytes: passed"
