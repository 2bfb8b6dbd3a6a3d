# The WebAssembly build (scripts/build-web). KALDEX.js and MORVIX.js run under Node on the real
# file system; kaldex-morvix.html is both programs in one page that needs no network.
foreach(program KALDEX MORVIX)
  target_link_options(${program} PRIVATE -sSINGLE_FILE=1 -sENVIRONMENT=node -sNODERAWFS=1
                      -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1)
endforeach()

# Beside the two runs, the functions of web/listing_check.cpp, which the page calls in an instance
# that it keeps.
add_executable(page_programs web/main.cpp web/listing_check.cpp)
target_link_libraries(page_programs PRIVATE converter lister)
target_link_options(page_programs PRIVATE -sSINGLE_FILE=1 -sENVIRONMENT=web -sMODULARIZE=1
                    -sEXPORT_NAME=loadPrograms -sINVOKE_RUN=0 -sALLOW_MEMORY_GROWTH=1
                    -sEXPORTED_FUNCTIONS=_main,_malloc,_free
                    -sEXPORTED_RUNTIME_METHODS=FS,callMain,UTF8ToString,HEAPU8)

set(WEB_PAGE_BUILT ${CMAKE_CURRENT_BINARY_DIR}/kaldex-morvix.html)
add_custom_command(OUTPUT ${WEB_PAGE_BUILT}
  COMMAND ${CMAKE_COMMAND} -DPAGE=${CMAKE_CURRENT_SOURCE_DIR}/web/page.html
          -DSCRIPT=$<TARGET_FILE:page_programs> -DVERSION=${PROJECT_VERSION}
          -DOUTPUT=${WEB_PAGE_BUILT} -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/render-page.cmake
  DEPENDS page_programs web/page.html cmake/render-page.cmake
  VERBATIM)
add_custom_target(page ALL DEPENDS ${WEB_PAGE_BUILT})
