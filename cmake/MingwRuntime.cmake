# Programs built with mingw-w64 load the compiler's runtime DLLs at start; copy them beside
# the project's binaries so that the build folder runs as it is, under Wine or on Windows, and
# install them beside the libraries so that the installed tree runs too. Their import libraries
# are installed as well: the package's imported targets name each DLL with its import library,
# so that $<TARGET_RUNTIME_DLLS:app> copies them beside an application.
#
# LM_GNU_RUNTIME_PAIRS: "dll|import library" for each, as the package's configuration reads them.
set(LM_MINGW_RUNTIME_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
set(LM_MINGW_RUNTIME_IMPLIBS libstdc++.dll.a libgcc_s.a libwinpthread.dll.a)

# The full path of one of the compiler's runtime files. GCC knows where its runtime is; clang,
# which links GCC's C++ library, does not, and its toolchain file names GCC's folder instead
# (LM_GCC_LIBRARY_DIR).
function(lm_find_mingw_runtime_file name out)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    find_file(lm_runtime_file_found ${name} PATHS ${LM_GCC_LIBRARY_DIR} /usr/${TOOLCHAIN_PREFIX}/lib
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    set(path ${lm_runtime_file_found})
    unset(lm_runtime_file_found CACHE)
  endif()
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "mingw-w64 runtime ${name} not found")
  endif()
  set(${out} ${path} PARENT_SCOPE)
endfunction()

set(lm_runtime_copies)
set(lm_runtime_paths)
set(lm_runtime_implibs)
set(LM_GNU_RUNTIME_PAIRS)
foreach(dll implib IN ZIP_LISTS LM_MINGW_RUNTIME_DLLS LM_MINGW_RUNTIME_IMPLIBS)
  lm_find_mingw_runtime_file(${dll} dll_path)
  lm_find_mingw_runtime_file(${implib} implib_path)
  set(copy ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll})
  add_custom_command(OUTPUT ${copy}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll_path} ${copy}
                     DEPENDS ${dll_path})
  list(APPEND lm_runtime_copies ${copy})
  list(APPEND lm_runtime_paths ${dll_path})
  list(APPEND lm_runtime_implibs ${implib_path})
  string(APPEND LM_GNU_RUNTIME_PAIRS " \"${dll}|${implib}\"")
endforeach()
add_custom_target(mingw_runtime ALL DEPENDS ${lm_runtime_copies})
install(FILES ${lm_runtime_paths} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
install(FILES ${lm_runtime_implibs} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
