# The C++ ABI that the package's C++ classes bind their users to: the GNU ABI of mingw-w64
# (CMake's MINGW: GCC, or clang for x86_64-w64-mingw32), with the libstdc++ release and thread
# model the package was built with, since the exported classes carry libstdc++'s std::wstring,
# std::function and std::vector, inline accessors and g++'s vtables. Used by the project's build
# to record its own, and by the installed package to check its user's.

# Sets OUT to the libstdc++ release and thread model of the calling project's C++ compiler
# ("libstdc++ 12, posix threads"), or to "" when it does not compile against libstdc++. One
# small compile, no link.
function(lumora10_gnu_cxx_abi out)
  set(work ${CMAKE_BINARY_DIR}${CMAKE_FILES_DIRECTORY}/Lumora10CxxAbi)
  file(WRITE ${work}/abi.cpp [=[
#include <bits/c++config.h>
#include <bits/gthr.h>
#define LUMORA10_TEXT2(x) #x
#define LUMORA10_TEXT(x) LUMORA10_TEXT2(x)
#if defined(_GLIBCXX_GCC_GTHR_POSIX_H)
#define LUMORA10_THREADS "posix"
#elif defined(_GLIBCXX_GCC_GTHR_WIN32_H)
#define LUMORA10_THREADS "win32"
#elif defined(_GLIBCXX_GCC_GTHR_MCF_H)
#define LUMORA10_THREADS "mcf"
#else
#define LUMORA10_THREADS "single"
#endif
extern const char lumora10_abi[] = "LUMORA10_ABI<libstdc++ " LUMORA10_TEXT(_GLIBCXX_RELEASE) ", " LUMORA10_THREADS " threads>";
]=])
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
  try_compile(compiled ${work}/build SOURCES ${work}/abi.cpp COPY_FILE ${work}/abi.lib)
  set(abi "")
  if(compiled)
    file(STRINGS ${work}/abi.lib found REGEX "LUMORA10_ABI<[^>]*>" LIMIT_COUNT 1)
    if(found MATCHES "LUMORA10_ABI<([^>]*)>")
      set(abi "${CMAKE_MATCH_1}")
    endif()
  endif()
  set(${out} "${abi}" PARENT_SCOPE)
endfunction()

# Sets OUT to why the calling project cannot use C++ classes built in BUILT_ABI (as
# lumora10_gnu_cxx_abi gave it), or to "" when it can.
function(lumora10_cxx_abi_problem out built_abi)
  set(need "the GNU ABI of mingw-w64 with ${built_abi} (mingw-w64 GCC, or clang for x86_64-w64-mingw32 with GCC's libstdc++)")
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  set(lang C)
  if(CXX IN_LIST languages)
    set(lang CXX)
  endif()
  set(compiler "${CMAKE_${lang}_COMPILER_ID} ${CMAKE_${lang}_COMPILER_VERSION}")
  if(NOT MINGW)
    if(MSVC OR CMAKE_${lang}_SIMULATE_ID STREQUAL "MSVC")
      set(problem "they need ${need}; this project builds in the Microsoft ABI (${compiler})")
    else()
      set(problem "they need ${need}; this project's compiler (${compiler}) is not mingw-w64's")
    endif()
  elseif(NOT lang STREQUAL "CXX")
    set(problem "they need C++ enabled in the project, and ${need}")
  else()
    lumora10_gnu_cxx_abi(abi)
    if(abi STREQUAL built_abi)
      set(problem "")
    elseif(abi STREQUAL "")
      set(problem "they need ${need}; this project's C++ compiler (${compiler}) does not use libstdc++")
    else()
      set(problem "they need ${need}; this project's C++ compiler (${compiler}) uses ${abi}")
    endif()
  endif()
  set(${out} "${problem}" PARENT_SCOPE)
endfunction()
