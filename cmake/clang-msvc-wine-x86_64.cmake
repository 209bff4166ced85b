# Cross-compiles C programs for Windows in the Microsoft ABI (x86_64-pc-windows-msvc) on Linux
# with clang, linked by lld-link, without a Microsoft SDK: the Microsoft-compatible C runtime
# headers and the Windows headers come from Wine's development package (libwine-dev), and so do
# the import libraries (GNU-format archives, which lld-link reads): the universal C runtime
# (ucrtbase.dll), vcruntime140.dll, kernel32.dll and the rest, with Wine's winecrt0 for the
# program's entry point. The programs run under Wine as they would on Windows.
#
# C only: there is no Microsoft C++ standard library here. Used to prove that the C interface
# (lumora10.h, lumora10.lib) serves programs of the Microsoft ABI (tools/check-package.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_LINKER lld-link)
set(CMAKE_AR llvm-ar)

set(lm_wine_include /usr/include/wine/wine)
set(lm_wine_lib /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
if(NOT EXISTS ${lm_wine_include}/msvcrt/stdio.h OR NOT EXISTS ${lm_wine_lib}/libucrtbase.a)
  message(FATAL_ERROR "clang-msvc-wine toolchain: Wine's headers and import libraries are needed (package libwine-dev)")
endif()

# The C runtime and Windows headers, as the system's: CMake adds them to every compile (as system
# folders, after the project's own), so that flags a project gives leave them in place. Clang's
# own headers (the compiler's intrinsics) follow them.
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${lm_wine_include}/msvcrt ${lm_wine_include}/windows)

# The runtime as a DLL (/MD): ucrtbase.dll and vcruntime140.dll, for every configuration (there
# is no debug runtime here).
set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)

# The linker looks for a library NAME as NAME.lib in its library folders; Wine names its import
# libraries libNAME.a. A folder of links with the Microsoft names (kernel32.lib, ole32.lib, ...)
# lets projects name libraries as they do on Windows.
set(lm_sdk_lib ${CMAKE_BINARY_DIR}/wine-sdk-lib)
if(NOT EXISTS ${lm_sdk_lib}/kernel32.lib)
  file(MAKE_DIRECTORY ${lm_sdk_lib})
  file(GLOB lm_import_libraries RELATIVE ${lm_wine_lib} ${lm_wine_lib}/lib*.a)
  foreach(archive IN LISTS lm_import_libraries)
    string(REGEX REPLACE "^lib(.*)\\.a$" "\\1.lib" name ${archive})
    file(CREATE_LINK ${lm_wine_lib}/${archive} ${lm_sdk_lib}/${name} SYMBOLIC)
  endforeach()
endif()

# The entry point (mainCRTStartup, wmainCRTStartup, WinMainCRTStartup) from winecrt0, the C
# runtime from ucrtbase and vcruntime140, in place of the Microsoft runtime's msvcrt.lib that the
# objects ask for by default; then the system libraries every Windows program is given.
set(lm_runtime_libraries ${lm_wine_lib}/libwinecrt0.a ${lm_wine_lib}/libucrtbase.a ${lm_wine_lib}/libvcruntime140.a)
list(JOIN lm_runtime_libraries " " lm_runtime_libraries)
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT
    "-Wno-unused-command-line-argument -Xlinker /libpath:${lm_sdk_lib} -Xlinker /nodefaultlib:msvcrt -Xlinker /nodefaultlib:libcmt -Xlinker /nodefaultlib:oldnames ${lm_runtime_libraries}")
endforeach()
# (CMake's default list adds oldnames.lib, the old POSIX names, which Wine does not have.)
set(CMAKE_C_STANDARD_LIBRARIES "-lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32"
    CACHE STRING "Libraries linked by every C program")

# Packages for Windows come from any root given with -DCMAKE_FIND_ROOT_PATH=<folder> (an
# installed package, say); programs from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
