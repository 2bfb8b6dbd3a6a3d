# Makes the page OUTPUT from the template PAGE: VERSION in place of @VERSION@, then the script in
# the file SCRIPT in place of @PROGRAMS@:
#
#   cmake -DPAGE=file -DSCRIPT=file -DVERSION=1.2 -DOUTPUT=file -P render-page.cmake
cmake_minimum_required(VERSION 3.16)

file(READ ${PAGE} page)
file(READ ${SCRIPT} script)
if(script MATCHES "</script")
  message(FATAL_ERROR "${SCRIPT} holds </script and cannot be put inside the page")
endif()
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@PROGRAMS@" "${script}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
