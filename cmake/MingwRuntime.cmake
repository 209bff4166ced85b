# Programs built with mingw-w64 load the compiler's runtime DLLs at start; copy them beside
# the project's binaries so that the build folder runs as it is, under Wine or on Windows, and
# install them beside the libraries so that the installed tree runs too.
set(LM_MINGW_RUNTIME_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
set(lm_runtime_copies)
set(lm_runtime_paths)
foreach(dll IN LISTS LM_MINGW_RUNTIME_DLLS)
  # GCC knows where its runtime is; clang, which links GCC's C++ library, does not, and its
  # toolchain file names GCC's folder instead (LM_GCC_LIBRARY_DIR).
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${dll_path}" OR NOT EXISTS "${dll_path}")
    find_file(dll_path_found ${dll} PATHS ${LM_GCC_LIBRARY_DIR} /usr/${TOOLCHAIN_PREFIX}/lib
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    set(dll_path ${dll_path_found})
    unset(dll_path_found CACHE)
  endif()
  if(NOT EXISTS "${dll_path}")
    message(FATAL_ERROR "mingw-w64 runtime ${dll} not found")
  endif()
  set(copy ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll})
  add_custom_command(OUTPUT ${copy}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll_path} ${copy}
                     DEPENDS ${dll_path})
  list(APPEND lm_runtime_copies ${copy})
  list(APPEND lm_runtime_paths ${dll_path})
endforeach()
add_custom_target(mingw_runtime ALL DEPENDS ${lm_runtime_copies})
install(FILES ${lm_runtime_paths} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
