# Cross-compiles the Windows targets on Linux with clang and lld, against the mingw-w64 headers
# and libraries and the C++ library of the POSIX-threads flavour of mingw-w64's GCC (the same
# runtime that cmake/mingw-w64-x86_64.cmake builds with), so that both compilers' binaries load
# the same runtime DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_SYSROOT /usr/${TOOLCHAIN_PREFIX})

# GCC's folder (…/gcc/x86_64-w64-mingw32/12-posix) holds libstdc++'s headers, its import
# libraries and the runtime DLLs; ask the POSIX GCC where it is rather than naming a version.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-gcc-posix -print-libgcc-file-name
                OUTPUT_VARIABLE lm_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE lm_gcc_result)
if(NOT lm_gcc_result EQUAL 0 OR NOT EXISTS "${lm_libgcc}")
  message(FATAL_ERROR "clang toolchain: ${TOOLCHAIN_PREFIX}-gcc-posix (package g++-mingw-w64-x86-64-posix) is needed for libstdc++")
endif()
get_filename_component(LM_GCC_LIBRARY_DIR "${lm_libgcc}" DIRECTORY)
set(lm_cxx_headers ${LM_GCC_LIBRARY_DIR}/include/c++)

# As the system's C++ headers: CMake adds them to every compile, so that flags a project gives
# (-DCMAKE_CXX_FLAGS=...) leave them in place.
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${lm_cxx_headers} ${lm_cxx_headers}/${TOOLCHAIN_PREFIX} ${lm_cxx_headers}/backward)
# GCC for this target predefines __GXX_TYPEINFO_EQUALITY_INLINE as 0: type_info's operator== is
# then libstdc++'s out-of-line function, not an inline copy in every object. clang does not, and
# its inline copies clash with libstdc++'s own where libstdc++ is linked statically; define it as
# GCC does so that both compilers' objects agree.
string(APPEND CMAKE_CXX_FLAGS_INIT " -D__GXX_TYPEINFO_EQUALITY_INLINE=0")
# lld links; GCC's folder gives libstdc++ and libgcc; -pthread adds winpthread, which the POSIX
# flavour of libstdc++ needs (GCC's driver adds it on its own).
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${LM_GCC_LIBRARY_DIR} -pthread")
endforeach()

# Libraries and packages for Windows come from the mingw-w64 tree, and from any root given with
# -DCMAKE_FIND_ROOT_PATH=<folder> (an installed package, say).
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
