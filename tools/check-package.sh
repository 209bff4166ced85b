#!/usr/bin/env bash
# The package as users get it. Builds the installable tree as Release (RELEASE_BUILD_DIR, default
# BUILD_DIR/release), installs it with the test camera into a temporary prefix and makes the
# SDK's ZIP. Then, each configured on its own against the prefix with find_package only and
# warnings as errors, and run under Wine in the test prefix (BUILD_DIR/wineprefix, where the test
# camera is registered) with nothing but the DLLs their build copied beside them:
#  - the C++ consumer (examples/consumer, the C++ classes), built with mingw-w64 GCC;
#  - the C consumer (examples/c-consumer, lumora10.h), built with mingw-w64 GCC and, in the
#    Microsoft ABI, with clang against lumora10.lib (cmake/clang-msvc-wine-x86_64.cmake);
#  - the wrapper consumer (examples/wrapper-consumer, lumora10.hpp), built with mingw-w64 g++ and
#    with clang.
# Each must list the camera, save a snapshot of its first format (160x120, 24 bits per pixel) as a
# BMP file, record two seconds into an AVI file and play them to the end. lumora10.dll must export
# the C functions alone and load no compiler runtime DLL; the C++ targets must be refused, with
# their message, to a compiler of another ABI or another libstdc++.
# Expects BUILD_DIR to hold the test build (its Wine runner).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$root/build}"
release_dir="${RELEASE_BUILD_DIR:-$build_dir/release}"
gcc_toolchain="$root/cmake/mingw-w64-x86_64.cmake"
clang_toolchain="$root/cmake/clang-mingw-w64-x86_64.cmake"
msvc_toolchain="$root/cmake/clang-msvc-wine-x86_64.cmake"

fail() { echo "check-package: $*" >&2; exit 1; }
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }

echo "== Release build and install"
BUILD_DIR="$release_dir" BUILD_TYPE=Release "$root/tools/build.sh" -DLM_BUILD_TESTS=OFF
work="$(mktemp -d "$build_dir/package-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$release_dir" --prefix "$prefix" >/dev/null
cmake --install "$release_dir" --prefix "$prefix" --component TestCamera >/dev/null
for file in bin/Lumo10WebCamD25.dll bin/Lumo10Framework.dll bin/libstdc++-6.dll bin/LmTestCam.dll \
            bin/lumora10.dll lib/lumora10.lib lib/lumora10.dll.a lib/Lumo10WebCamD25.dll.a lib/libstdc++.dll.a \
            include/lumora10.h include/lumora10.hpp include/webcam/LmPreview.h include/testcam/LmTestCam.h \
            lib/cmake/Lumora10/Lumora10Config.cmake lib/cmake/Lumora10/Lumora10ConfigVersion.cmake \
            lib/cmake/Lumora10/Lumora10CTargets.cmake lib/cmake/Lumora10/Lumora10CxxAbi.cmake \
            share/doc/Lumora10/test-camera.md share/doc/Lumora10/c-api.md; do
  [ -f "$prefix/$file" ] || fail "the install lacks $file"
done
[ ! -e "$prefix/bin/Framework.dll" ] || fail "the install has a DLL with a generic name (Framework.dll)"
(cd "$release_dir" && cpack >/dev/null)
zip="$(ls "$release_dir"/package/Lumora10-*-win64.zip)"
# The listing is read whole: grep -q ending the pipe early would fail it under pipefail.
listing="$(cmake -E tar tf "$zip")"
grep -q '/bin/LmTestCam.dll$' <<<"$listing" || fail "$zip lacks the test camera"
grep -q '/lib/lumora10.lib$' <<<"$listing" || fail "$zip lacks lumora10.lib"
echo "SDK: $zip"

echo "== lumora10.dll: the C functions alone, and no runtime DLL"
exports="$(llvm-readobj --coff-exports "$prefix/bin/lumora10.dll" | sed -n 's/^ *Name: //p')"
[ -n "$exports" ] || fail "lumora10.dll exports nothing"
if grep -v '^Lm10[A-Za-z]*$' <<<"$exports"; then fail "lumora10.dll exports the names above"; fi
expected="$(sed -n 's/^  \(Lm10[A-Za-z]*\)$/\1/p' "$root/capi/lumora10.def" | sort)"
[ "$(sort <<<"$exports")" = "$expected" ] || fail "lumora10.dll's exports differ from capi/lumora10.def"
imports="$(llvm-readobj --coff-imports "$prefix/bin/lumora10.dll" | sed -n 's/^ *Name: //p')"
if grep -i -E 'libstdc|libgcc|winpthread|Lumo10|Framework' <<<"$imports"; then
  fail "lumora10.dll loads the DLLs above"
fi
echo "$(wc -l <<<"$exports") functions; loads $(tr '\n' ' ' <<<"$imports")"

# Configures and builds the consumer in examples/SOURCE into work/NAME with TOOLCHAIN and any
# further configure arguments; its output goes to work/NAME.log, shown when it fails.
build_consumer() {
  local source="$1" name="$2" toolchain="$3"
  shift 3
  if ! { cmake -S "$root/examples/$source" -B "$work/$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
           -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" &&
         cmake --build "$work/$name" -j "$(nproc)"; } >"$work/$name.log" 2>&1; then
    cat "$work/$name.log" >&2
    fail "$name did not build"
  fi
}

# Runs PROGRAM (under work/) in the test prefix with nothing on WINEPATH: the DLLs it needs are
# the ones its build copied beside it. Then checks its snapshot and recording.
run_consumer() {
  local program="$1" snapshot="$work/${1%%/*}.bmp" recording="$work/${1%%/*}.avi"
  echo "-- $program"
  "$build_dir/wine-run" "$work/$program" --snapshot "$(windows_path "$snapshot")" \
    --record "$(windows_path "$recording")" --play "$(windows_path "$recording")" || fail "$program failed"
  # A BMP of the test camera's first format: 14 + 40 header bytes, then 160 x 120 x 3 pixel bytes.
  [ -f "$snapshot" ] || fail "$program wrote no snapshot"
  local size width height bits
  size=$(stat -c %s "$snapshot")
  read -r width height < <(od -An -tu4 -j18 -N8 "$snapshot")
  bits=$(od -An -tu2 -j28 -N2 "$snapshot" | tr -d ' ')
  [ "$(head -c2 "$snapshot")" = BM ] && [ "$size" -eq 57654 ] && [ "$width" -eq 160 ] && [ "$height" -eq 120 ] \
    && [ "$bits" -eq 24 ] || fail "$program's snapshot is $size bytes, ${width}x${height}, $bits bits; expected 57654 bytes, 160x120, 24 bits"
  [ -s "$recording" ] || fail "$program wrote no recording"
  echo "$program: snapshot ${width}x${height} ($size bytes), recording $(stat -c %s "$recording") bytes"
}

echo "== Consumers built against the installed package"
build_consumer consumer cxx-gcc "$gcc_toolchain" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic"
build_consumer c-consumer c-gcc "$gcc_toolchain" -DCMAKE_C_FLAGS="-Wall -Wextra -Wpedantic"
build_consumer c-consumer c-msvc "$msvc_toolchain" -DCMAKE_C_FLAGS="-Wall -Wextra -Wpedantic"
build_consumer wrapper-consumer wrapper-gcc "$gcc_toolchain" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic"
build_consumer wrapper-consumer wrapper-clang "$clang_toolchain" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic"
# The Microsoft-ABI program runs on the universal C runtime and links lumora10.lib.
msvc_imports="$(llvm-readobj --coff-imports "$work/c-msvc/LmCConsumer.exe" | sed -n 's/^ *Name: //p')"
grep -qix 'ucrtbase.dll' <<<"$msvc_imports" && grep -qix 'lumora10.dll' <<<"$msvc_imports" \
  || fail "the Microsoft-ABI consumer imports $(tr '\n' ' ' <<<"$msvc_imports")"
grep -rq 'lumora10\.lib' "$work/c-msvc/CMakeFiles/LmCConsumer.dir/" || fail "the Microsoft-ABI consumer did not link lumora10.lib"

echo "== Consumers run under Wine against the test camera"
run_consumer cxx-gcc/LmConsumer.exe
run_consumer c-gcc/LmCConsumer.exe
run_consumer c-msvc/LmCConsumer.exe
run_consumer wrapper-gcc/LmWrapperConsumer.exe
run_consumer wrapper-clang/LmWrapperConsumer.exe

echo "== The C++ targets refused to another ABI"
# Configures a small project (LANGUAGE, its CMake lines after find_package's) and expects the
# configuration to fail with a message that contains TEXT.
expect_refused() {
  local name="$1" toolchain="$2" language="$3" lines="$4" text="$5" config_prefix="${6:-$prefix}"
  mkdir -p "$work/$name"
  printf 'int main(void) { return 0; }\n' >"$work/$name/main.${language,,}"
  [ "$language" = C ] || mv "$work/$name/main.${language,,}" "$work/$name/main.cpp"
  printf 'cmake_minimum_required(VERSION 3.25)\nproject(refused LANGUAGES %s)\n%s\n' "$language" "$lines" \
    >"$work/$name/CMakeLists.txt"
  if cmake -S "$work/$name" -B "$work/$name/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
       -DCMAKE_FIND_ROOT_PATH="$config_prefix" >"$work/$name.log" 2>&1; then
    fail "$name: the configuration passed"
  fi
  tr -s ' \n' ' ' <"$work/$name.log" | grep -qF "$text" || { cat "$work/$name.log" >&2; fail "$name: no message \"$text\""; }
  echo "$name: refused"
}
expect_refused msvc-links-webcam "$msvc_toolchain" C \
  "find_package(Lumora10 CONFIG REQUIRED)
add_executable(app main.c)
target_link_libraries(app PRIVATE Lumora10::C Lumora10::WebCam)" \
  "app links Lumora10::WebCam. Lumora10's C++ targets"
expect_refused msvc-asks-webcam "$msvc_toolchain" C \
  "find_package(Lumora10 CONFIG REQUIRED COMPONENTS WebCam)" "Microsoft ABI"
# A package whose C++ classes were built with another libstdc++ than this compiler's.
other="$work/other-build"
mkdir -p "$other/lib"
ln -s "$prefix/bin" "$prefix/include" "$other/"
for entry in "$prefix"/lib/*; do [ "$(basename "$entry")" = cmake ] || ln -s "$entry" "$other/lib/"; done
cp -r "$prefix/lib/cmake" "$other/lib/"
sed -i 's/set(Lumora10_CXX_ABI "libstdc++ [0-9]*,/set(Lumora10_CXX_ABI "libstdc++ 99,/' "$other/lib/cmake/Lumora10/Lumora10Config.cmake"
expect_refused gcc-other-libstdcxx "$gcc_toolchain" CXX \
  "find_package(Lumora10 CONFIG REQUIRED)
add_executable(app main.cpp)
target_link_libraries(app PRIVATE Lumora10::WebCam)" "with libstdc++ 99, posix threads" "$other"
echo "check-package: passed"
