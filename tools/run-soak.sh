#!/usr/bin/env bash
# Installs what is missing, builds everything as Release (in build/release, without the tests),
# makes the soak's clips with ffmpeg, and runs the soak program under Wine in its own prefix
# (build/release/soak-wineprefix) with the project's test camera and test capture graph builder.
# It prints figures and exits non-zero on a failure; arguments go to the program (--preview N,
# --player N, --recorder N, --rounds N, --damaged N, --only preview,player,recorder,rounds,damaged).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
release_dir="${RELEASE_BUILD_DIR:-$build_dir/release}"

"$root/tools/setup-debian.sh"
BUILD_DIR="$release_dir" BUILD_TYPE=Release "$root/tools/build.sh" -DLM_BUILD_TESTS=OFF

# The player's clip (320x240 MJPEG, 25 frames per second, 1 s) and the sources of the damaged
# copies: tiny uncompressed and MJPEG clips, and one with a sound track (two streams).
clips="$release_dir/soak-clips"
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

LM_WINEPREFIX="$release_dir/soak-wineprefix" "$release_dir/wine-run" "$release_dir/bin/LmSoak.exe" \
  --clips "Z:${clips//\//\\}" "$@"
