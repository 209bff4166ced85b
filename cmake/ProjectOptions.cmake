# Settings shared by every product target: Unicode Win32, warnings on, no vendor extensions.
add_library(lm_project_options INTERFACE)
target_compile_definitions(lm_project_options INTERFACE
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
target_include_directories(lm_project_options INTERFACE ${PROJECT_SOURCE_DIR})
if(MSVC)
  target_compile_options(lm_project_options INTERFACE /W4 /permissive- /utf-8 /EHsc)
else()
  target_compile_options(lm_project_options INTERFACE -Wall -Wextra -Wpedantic
    -Wno-missing-field-initializers)
  # Windows headers of mingw-w64 declare interfaces with non-virtual destructors.
  target_compile_options(lm_project_options INTERFACE -Wno-non-virtual-dtor)
endif()

# Builds one DLL of the product: its export macro is defined only while the DLL itself compiles.
function(lm_add_library name)
  cmake_parse_arguments(ARG "" "EXPORT_MACRO" "SOURCES;LINK" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC lm_project_options ${ARG_LINK})
  target_compile_definitions(${name} PRIVATE ${ARG_EXPORT_MACRO})
endfunction()
