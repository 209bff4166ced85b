#!/usr/bin/env bash
# Installs what is missing, builds the soak program in a Release tree of its own (default
# build-release), makes its clips with ffmpeg, and runs it under Wine in its own prefix
# (BUILD_DIR/soak-wineprefix) with the project's test camera and test capture graph builder.
# It prints figures and exits non-zero on a failure; arguments go to the program (--preview N,
# --player N, --recorder N, --rounds N, --damaged N, --only preview,player,recorder,rounds,damaged).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build-release}"

"$root/tools/setup-debian.sh"
cmake -S "$root" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DLM_BUILD_TESTS=OFF -DLM_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target LmSoak

# The player's clip (320x240 MJPEG, 25 frames per second, 1 s) and the sources of the damaged
# copies: tiny uncompressed and MJPEG clips, and one with a sound track (two streams).
clips="$build_dir/soak-clips"
mkdir -p "$clips"
make_clip() {
  local name="$1"
  shift
  [ -f "$clips/$name" ] || ffmpeg -nostdin -loglevel error -y "$@" "$clips/$name"
}
make_clip soak_player.avi -f lavfi -i testsrc=size=320x240:rate=25 -t 1 -c:v mjpeg -q:v 5 -pix_fmt yuvj420p
make_clip tiny_raw.avi -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 10 -c:v rawvideo -pix_fmt bgr24
make_clip tiny_mjpeg.avi -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 10 -c:v mjpeg -pix_fmt yuvj420p
make_clip tiny_av.avi -f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=frequency=440:sample_rate=8000 \
  -frames:v 10 -t 0.4 -c:v mjpeg -pix_fmt yuvj420p -c:a pcm_s16le

LM_WINEPREFIX="$build_dir/soak-wineprefix" "$build_dir/wine-run" "$build_dir/bin/LmSoak.exe" \
  --clips "Z:${clips//\//\\}" "$@"
