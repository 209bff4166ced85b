include(GNUInstallDirs)

# The project's warnings. The public-header check uses them alone; lm_project_options adds them
# to everything the project compiles.
add_library(lm_warnings INTERFACE)
if(MSVC)
  target_compile_options(lm_warnings INTERFACE /W4 /permissive- /utf-8 /EHsc)
else()
  target_compile_options(lm_warnings INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
  # Windows headers of mingw-w64 declare interfaces with non-virtual destructors.
  target_compile_options(lm_warnings INTERFACE -Wno-non-virtual-dtor)
endif()

# The project's own build settings: warnings, the source root as include path (so that sources
# reach internal headers such as "webcam/src/LmComPtr.h"), and lean Windows headers for an
# older Windows. Private to the project: targets link it PRIVATE, so no installed target
# carries it. (The public headers need none of these definitions but UNICODE, which the
# libraries pass on themselves.)
add_library(lm_project_options INTERFACE)
target_compile_definitions(lm_project_options INTERFACE
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
target_include_directories(lm_project_options INTERFACE ${PROJECT_SOURCE_DIR})
target_link_libraries(lm_project_options INTERFACE lm_warnings)

# The libraries that make up the installed package, in the order they are added.
set_property(GLOBAL PROPERTY LM_PACKAGE_LIBRARIES "")

# Builds one DLL of the product, installed into the package as Lumora10::<EXPORT_NAME>.
#
#   EXPORT_MACRO    defined only while the DLL itself compiles (its headers then export)
#   PUBLIC_HEADERS  the headers users include, installed as include/<folder>/<name>
#   LINK            what the public headers need of their users: project libraries whose types
#                   they use, and system libraries (by name) whose declarations they use
#   PRIVATE_LINK    what only the DLL's own code calls
#
# Usage requirements (C++20, UNICODE, the include folder, LINK) are PUBLIC; the project's own
# options (lm_project_options) stay PRIVATE.
function(lm_add_library name)
  cmake_parse_arguments(ARG "" "EXPORT_MACRO;EXPORT_NAME" "SOURCES;PUBLIC_HEADERS;LINK;PRIVATE_LINK" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES} ${ARG_PUBLIC_HEADERS})
  add_library(Lumora10::${ARG_EXPORT_NAME} ALIAS ${name})
  set_target_properties(${name} PROPERTIES EXPORT_NAME ${ARG_EXPORT_NAME})
  target_compile_features(${name} PUBLIC cxx_std_20)
  target_compile_definitions(${name} PUBLIC UNICODE _UNICODE PRIVATE ${ARG_EXPORT_MACRO})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${name} PUBLIC ${ARG_LINK} PRIVATE lm_project_options ${ARG_PRIVATE_LINK})

  # The public headers, with the folder users write in front ("webcam/LmPreview.h").
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(headers)
  foreach(header IN LISTS ARG_PUBLIC_HEADERS)
    list(APPEND headers ${folder}/${header})
  endforeach()
  set_target_properties(${name} PROPERTIES LM_PUBLIC_HEADERS "${headers}")
  set_property(GLOBAL APPEND PROPERTY LM_PACKAGE_LIBRARIES ${name})

  install(TARGETS ${name} EXPORT Lumora10Targets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
  install(FILES ${ARG_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder} COMPONENT Development)
endfunction()

# Builds the sources of the project's DLL NAME once more, into a static library NAME_static
# for a module that holds the library itself (the C interface's lumora10.dll): compiled with
# STATIC_MACRO, which makes the library's export macro empty, and linked with the static twins
# of the project libraries it links (created before). Built only when something links it.
function(lm_add_static_twin name static_macro)
  get_target_property(sources ${name} SOURCES)
  get_target_property(folder ${name} SOURCE_DIR)
  get_target_property(links ${name} LINK_LIBRARIES)
  set(twin_sources)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.(cpp|c)$")
      if(NOT IS_ABSOLUTE "${source}")
        set(source ${folder}/${source})
      endif()
      list(APPEND twin_sources ${source})
    endif()
  endforeach()
  set(twin_links)
  foreach(link IN LISTS links)
    if(TARGET ${link}_static)
      list(APPEND twin_links ${link}_static)
    elseif(NOT link STREQUAL "lm_project_options")
      list(APPEND twin_links ${link})
    endif()
  endforeach()
  add_library(${name}_static STATIC EXCLUDE_FROM_ALL ${twin_sources})
  target_compile_features(${name}_static PUBLIC cxx_std_20)
  target_compile_definitions(${name}_static PUBLIC UNICODE _UNICODE ${static_macro})
  target_include_directories(${name}_static PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name}_static PUBLIC ${twin_links} PRIVATE lm_project_options)
endfunction()
