# cmake -DROOT=<source root> -DHEADERS=<file: the public headers, one a line, relative to ROOT>
#       -P CheckPublicIncludes.cmake
#
# Fails when a public header includes, in quotes, a header that is not public (it is not
# installed), or, in angle brackets, a Windows header that is not among those below, which
# current Windows SDKs ship (qedit.h, for one, is gone from them). Standard C++ headers
# (no extension) pass.
cmake_minimum_required(VERSION 3.25)
set(sdk_headers windows.h dshow.h unknwn.h objbase.h wrl/client.h)
file(STRINGS ${HEADERS} public_headers)
set(faults)
foreach(header IN LISTS public_headers)
  file(STRINGS ${ROOT}/${header} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(included ${CMAKE_MATCH_1})
      if(NOT included IN_LIST public_headers)
        list(APPEND faults "${header} includes \"${included}\", which is not a public header")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      set(included ${CMAKE_MATCH_1})
      if(included MATCHES "\\." AND NOT included IN_LIST sdk_headers)
        list(APPEND faults "${header} includes <${included}>, which is not a Windows SDK header the package relies on")
      endif()
    endif()
  endforeach()
endforeach()
list(LENGTH public_headers count)
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Public headers:\n  ${text}")
endif()
message(STATUS "${count} public headers include only public and Windows SDK headers")
