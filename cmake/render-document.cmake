# Turns a document of the packages into the form a package ships, run by the build as
#
#   cmake -DFORMAT=gzip|text -DINPUT=file -DOUTPUT=file -DTOOL=gzip|groff -P render-document.cmake
#
# gzip: compressed at the highest level, without name and time stamp, so that every build gives
#   the same bytes (manual pages and the changelog of the Debian package).
# text: a manual page as plain UTF-8 text for readers without man (the Windows zip): no overstrike
#   or escape sequences for bold and underline, no words broken at line ends, CR LF line ends.
cmake_minimum_required(VERSION 3.16)

if(FORMAT STREQUAL "gzip")
  execute_process(COMMAND ${TOOL} -9n -c INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT}.part
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} could not compress ${INPUT}: ${status}")
  endif()
elseif(FORMAT STREQUAL "text")
  execute_process(COMMAND ${TOOL} -man -Tutf8 -P-cbou -rHY=0 ${INPUT}
                  OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "${TOOL} could not render ${INPUT}: ${status} ${errors}")
  endif()
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${OUTPUT}.part "${text}")
else()
  message(FATAL_ERROR "unknown FORMAT '${FORMAT}'")
endif()
# Renamed only when whole, so that an interrupted build leaves no truncated document behind.
file(RENAME ${OUTPUT}.part ${OUTPUT})
