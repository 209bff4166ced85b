#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the demo under Wine in its own prefix,
# with the project's test camera as the default device and a generated clip beside it. With a
# display the demo window stays open for you; without one (Xvfb) a short scripted session writes
# a snapshot and a screenshot of the window, and a recording of the camera, into
# build/demo-output and prints their paths; ffprobe then says what the recording holds. Then the
# design-time demo (LmDesignDemo) shows the property dialog of the design-time library, in
# English and Japanese.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
# The demo runs a Release build of its own; the tests keep their Debug build in build_dir.
release_dir="${RELEASE_BUILD_DIR:-$build_dir/release}"

"$root/tools/setup-debian.sh"
BUILD_DIR="$release_dir" BUILD_TYPE=Release "$root/tools/build.sh" -DLM_BUILD_TESTS=OFF

output="$build_dir/demo-output"
mkdir -p "$output"
# A generated clip plays beside the preview: a file as users have them, H.264 video (moving
# test picture, 25 frames per second) with an AAC sound track in MP4, which Wine's DirectShow
# reads through GStreamer.
clip="$build_dir/demo-clip.mp4"
[ -f "$clip" ] || ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=44100 -t 6 -c:v libx264 -preset veryfast -pix_fmt yuv420p \
  -c:a aac -b:a 64k -movflags +faststart "$clip"
args=(--output "Z:${output//\//\\}" --clip "Z:${clip//\//\\}")
[ -z "${DISPLAY:-}" ] && args+=(--scripted)
# A recording left from an earlier run would pass for this run's.
rm -f "$output/recording.avi"
# The demo prefix gets the test camera and, since Wine's capture graph builder cannot write
# files, the test capture graph builder (testbuilder/), as the test prefix does.
status=0
LM_WINEPREFIX="$release_dir/demo-wineprefix" "$release_dir/wine-run" "$release_dir/bin/LmDemo.exe" "${args[@]}" "$@" || status=$?
# The design-time library in a small designer host: headless, a screenshot of the designer and
# one of the property dialog in each language; with a display, the designer stays open.
design_args=(--output "Z:${output//\//\\}")
if [ -z "${DISPLAY:-}" ]; then
  LM_WINEPREFIX="$release_dir/demo-wineprefix" "$release_dir/wine-run" "$release_dir/bin/LmDesignDemo.exe" "${design_args[@]}" --scripted
  LC_ALL=ja_JP.UTF-8 LM_WINEPREFIX="$release_dir/demo-wineprefix" "$release_dir/wine-run" "$release_dir/bin/LmDesignDemo.exe" "${design_args[@]}" --scripted
else
  LM_WINEPREFIX="$release_dir/demo-wineprefix" "$release_dir/wine-run" "$release_dir/bin/LmDesignDemo.exe" "${design_args[@]}"
fi
echo "Output folder: $output"
ls -1 "$output"
if [ -f "$output/recording.avi" ]; then
  echo "ffprobe on recording.avi:"
  ffprobe -v error -count_frames -show_entries \
    stream=codec_name,width,height,r_frame_rate,nb_read_frames:format=duration,size \
    -of default=noprint_wrappers=1 "$output/recording.avi"
fi
exit "$status"
