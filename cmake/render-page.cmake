# Makes the page OUTPUT from the template PAGE: VERSION in place of @VERSION@, the loader in the
# file SCRIPT in place of @PROGRAMS@, the editor's script in the file EDITOR in place of @EDITOR@,
# and the WebAssembly that the loader holds as a base64 data: address in place of @WASM@. The page
# compiles that WebAssembly once and gives each run a fresh instance of it, so the loader's own
# copy is left empty rather than held twice. A script that holds "</script" in any letter case
# would end its element early, and is refused.
#
#   cmake -DPAGE=file -DSCRIPT=file -DEDITOR=file -DVERSION=1.2 -DOUTPUT=file -P render-page.cmake
cmake_minimum_required(VERSION 3.16)

file(READ ${PAGE} page)
file(READ ${SCRIPT} script)
file(READ ${EDITOR} editor)
foreach(name script editor)
  string(TOLOWER "${${name}}" lowered)
  if(lowered MATCHES "</script")
    message(FATAL_ERROR "The ${name} holds </script and cannot be put inside the page")
  endif()
endforeach()
string(REGEX MATCH "\"data:application/octet-stream;base64,([A-Za-z0-9+/=]+)\"" address
       "${script}")
set(wasm "${CMAKE_MATCH_1}")
if(NOT address)
  message(FATAL_ERROR "${SCRIPT} holds no WebAssembly as a base64 data: address")
endif()
string(REPLACE "${address}" "\"\"" script "${script}")
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@WASM@" "${wasm}" page "${page}")
string(REPLACE "@EDITOR@" "${editor}" page "${page}")
string(REPLACE "@PROGRAMS@" "${script}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
