#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a private prefix inside the build tree.
#
#   wine-run.sh PROGRAM [ARGS...]   run one program (CMake's cross-compiling emulator)
#   wine-run.sh --session-start     prepare the prefix, start Xvfb when there is no display,
#                                   and keep one wineserver alive for the rest of a test run
#   wine-run.sh --session-stop      end what --session-start started
#
# LM_BUILD_DIR names the build tree (the CMake-generated wrapper sets it); LM_WINEPREFIX may
# name another prefix (the demo keeps its own). WINEDEBUG defaults to silence.
set -euo pipefail

build_dir="${LM_BUILD_DIR:?LM_BUILD_DIR must name the build tree}"
bin_dir="$build_dir/bin"
export WINEPREFIX="${LM_WINEPREFIX:-$build_dir/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
# No Mono or Gecko installer dialogs when the prefix is created.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=d;mshtml=d}"
session_dir="$WINEPREFIX.session"

# There is no sound card here: send ALSA to its null device so that audio streams render
# silently instead of failing, and ALSA prints nothing.
alsa_conf="$build_dir/alsa-null.conf"
if [ ! -f "$alsa_conf" ]; then
  printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$alsa_conf"
fi
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$alsa_conf"

xvfb_pid=""

start_xvfb() {
  local fifo display
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r -t 30 display <"$fifo" || { rm -f "$fifo"; echo "Xvfb did not start" >&2; exit 1; }
  rm -f "$fifo"
  export DISPLAY=":$display"
}

# Uses the display of a running session, or starts a private Xvfb when there is none.
ensure_display() {
  [ -n "${DISPLAY:-}" ] && return
  if [ -f "$session_dir/display" ] && kill -0 "$(cat "$session_dir/xvfb.pid")" 2>/dev/null; then
    export DISPLAY="$(cat "$session_dir/display")"
    return
  fi
  start_xvfb
}

# Creates the prefix once; concurrent callers wait for the first.
prepare_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.lm-ready" ]; then
    wineboot --init >/dev/null 2>&1
    wineserver --wait
    # Let RenderFile pick the GDI video renderer, which draws inside a child window under
    # Wine, instead of the default renderer's VMR-7, which does not.
    wine "$bin_dir/LmPrefixSetup.exe" </dev/null >/dev/null 2>"$WINEPREFIX.setup.log" || { cat "$WINEPREFIX.setup.log" >&2; exit 1; }
    wineserver --wait
    touch "$WINEPREFIX/.lm-ready" "$WINEPREFIX/.lm-fonts"
  fi
  # A prefix made before the set-up replaced the Japanese fonts gets it on its next use (the
  # set-up's other steps find their work done).
  if [ ! -f "$WINEPREFIX/.lm-fonts" ]; then
    wine "$bin_dir/LmPrefixSetup.exe" </dev/null >/dev/null 2>"$WINEPREFIX.setup.log" || { cat "$WINEPREFIX.setup.log" >&2; exit 1; }
    touch "$WINEPREFIX/.lm-fonts"
  fi
  # Register the test camera (LmTestCam.dll) as a video input device, once per prefix; a
  # prefix made before the camera existed gets it on its next use, and a rebuilt camera (which
  # may list other devices) is registered again.
  if [ -f "$bin_dir/LmTestCam.dll" ] && [ "$bin_dir/LmTestCam.dll" -nt "$WINEPREFIX/.lm-testcam" ]; then
    wine regsvr32 /s "Z:$bin_dir/LmTestCam.dll" </dev/null >/dev/null 2>>"$WINEPREFIX.setup.log" || { echo "cannot register LmTestCam.dll" >&2; cat "$WINEPREFIX.setup.log" >&2; exit 1; }
    touch "$WINEPREFIX/.lm-testcam"
  fi
  # Register the test capture graph builder (LmTestCaptureBuilder.dll) in place of Wine's, which
  # cannot write files, once per prefix; `regsvr32 /u` on it gives Wine's back.
  if [ ! -f "$WINEPREFIX/.lm-testbuilder" ] && [ -f "$bin_dir/LmTestCaptureBuilder.dll" ]; then
    wine regsvr32 /s "Z:$bin_dir/LmTestCaptureBuilder.dll" </dev/null >/dev/null 2>>"$WINEPREFIX.setup.log" || { echo "cannot register LmTestCaptureBuilder.dll" >&2; cat "$WINEPREFIX.setup.log" >&2; exit 1; }
    touch "$WINEPREFIX/.lm-testbuilder"
  fi
  # Register the test decoder (LmTestCodec.dll), the YUY2, MJPG and NV12 codec that Windows
  # has and Wine lacks, as a Video for Windows codec for Wine's AVI Decompressor, once per
  # prefix (again when rebuilt).
  if [ -f "$bin_dir/LmTestCodec.dll" ] && [ "$bin_dir/LmTestCodec.dll" -nt "$WINEPREFIX/.lm-testcodec" ]; then
    wine regsvr32 /s "Z:$bin_dir/LmTestCodec.dll" </dev/null >/dev/null 2>>"$WINEPREFIX.setup.log" || { echo "cannot register LmTestCodec.dll" >&2; cat "$WINEPREFIX.setup.log" >&2; exit 1; }
    touch "$WINEPREFIX/.lm-testcodec"
  fi
  flock -u 9
}

case "${1:-}" in
  --session-start)
    mkdir -p "$session_dir"
    if [ -z "${DISPLAY:-}" ]; then
      start_xvfb
      echo "$DISPLAY" >"$session_dir/display"
      echo "$xvfb_pid" >"$session_dir/xvfb.pid"
    fi
    prepare_prefix
    # A server left from earlier in this prefix would exit on its own timeout mid-run; replace it.
    if ! wineserver --persistent </dev/null >/dev/null 2>&1; then
      wineserver --kill 2>/dev/null || true
      wineserver --wait 2>/dev/null || true
      wineserver --persistent </dev/null >/dev/null 2>&1
    fi
    # Start the prefix's system processes (services, device drivers) now, detached from any
    # output: started by the first test program instead, they would inherit its output pipe
    # and keep ctest waiting for it to close until the session ends.
    wineboot </dev/null >/dev/null 2>&1
    exit 0
    ;;
  --session-stop)
    wineserver --kill 2>/dev/null || true
    if [ -f "$session_dir/xvfb.pid" ]; then
      kill "$(cat "$session_dir/xvfb.pid")" 2>/dev/null || true
    fi
    rm -rf "$session_dir"
    exit 0
    ;;
  "")
    echo "usage: $0 PROGRAM [ARGS...] | --session-start | --session-stop" >&2
    exit 2
    ;;
esac

ensure_display
# A private Xvfb goes once Wine's processes on it have ended.
stop_private_xvfb() {
  [ -n "$xvfb_pid" ] || return 0
  wineserver --wait 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap stop_private_xvfb EXIT
prepare_prefix
set +e
wine "$@"
status=$?
set -e
exit "$status"
