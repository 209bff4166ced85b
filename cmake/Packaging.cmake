# The installed package: bin/ (the DLLs and the compiler's runtime), lib/ (import libraries),
# include/ (the public headers under the folders users write), lib/cmake/Lumora10/ (the
# package's configuration, targets and version), share/doc/Lumora10/ (the API reference).
# The test camera is an optional component (TestCamera). cpack makes the SDK's ZIP of it all.
include(CMakePackageConfigHelpers)

set(LM_PACKAGE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Lumora10)
# The package follows the library's version without its build number (1.0.0.1 -> 1.0.0).
set(LM_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})

install(EXPORT Lumora10Targets NAMESPACE Lumora10:: FILE Lumora10Targets.cmake
        DESTINATION ${LM_PACKAGE_CMAKE_DIR} COMPONENT Development)
# The C interface apart, so that the configuration defines it for every compiler.
install(EXPORT Lumora10CTargets NAMESPACE Lumora10:: FILE Lumora10CTargets.cmake
        DESTINATION ${LM_PACKAGE_CMAKE_DIR} COMPONENT Development)

# The C++ classes bind their users to the ABI they were built in: the package records the
# libstdc++ release and thread model of this build, and its configuration refuses the C++
# targets to a compiler that differs (cmake/Lumora10CxxAbi.cmake). A native build with another
# compiler records nothing, and its package checks nothing.
include(cmake/Lumora10CxxAbi.cmake)
set(LM_GNU_CXX_ABI "")
if(MINGW)
  lumora10_gnu_cxx_abi(LM_GNU_CXX_ABI)
  if(LM_GNU_CXX_ABI STREQUAL "")
    message(FATAL_ERROR "Lumora10: the compiler's C++ library was not recognised as libstdc++")
  endif()
endif()
install(FILES cmake/Lumora10CxxAbi.cmake DESTINATION ${LM_PACKAGE_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(cmake/Lumora10Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/Lumora10Config.cmake
  INSTALL_DESTINATION ${LM_PACKAGE_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/Lumora10ConfigVersion.cmake
  VERSION ${LM_PACKAGE_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/Lumora10Config.cmake ${CMAKE_CURRENT_BINARY_DIR}/Lumora10ConfigVersion.cmake
        DESTINATION ${LM_PACKAGE_CMAKE_DIR} COMPONENT Development)

install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/Lumora10 COMPONENT Development
        FILES_MATCHING PATTERN "*.md" PATTERN "test-camera.md" EXCLUDE)

# The test camera: a COM server that users register themselves (see docs/test-camera.md).
# Only `cmake --install ... --component TestCamera` installs it; the ZIP holds it.
install(FILES $<TARGET_FILE:LmTestCam> DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT TestCamera EXCLUDE_FROM_ALL)
# Its controller's interface, which the page describes.
install(FILES testcam/LmTestCam.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/testcam COMPONENT TestCamera EXCLUDE_FROM_ALL)
install(FILES docs/test-camera.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/Lumora10
        COMPONENT TestCamera EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME Lumora10)
set(CPACK_PACKAGE_VERSION ${LM_PACKAGE_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Windows video components: live preview, recording, playback")
set(CPACK_PACKAGE_FILE_NAME Lumora10-${LM_PACKAGE_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_COMPONENTS_ALL Runtime Development TestCamera)
# One archive with every component, the test camera included.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
