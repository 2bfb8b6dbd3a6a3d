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
                    -sEXPORTED_RUNTIME_METHODS=FS,callMain,HEAPU8)

# The page's editor: web/editor.js and the parts of CodeMirror it uses, bundled by esbuild into
# one script. Both come from the npm registry at the versions of web/package-lock.json, installed
# in the build folder without running their install scripts.
find_program(NPM npm REQUIRED)
set(EDITOR_FOLDER ${CMAKE_CURRENT_BINARY_DIR}/editor)
set(EDITOR_INSTALLED ${EDITOR_FOLDER}/node_modules/.package-lock.json)
file(MAKE_DIRECTORY ${EDITOR_FOLDER})
add_custom_command(OUTPUT ${EDITOR_INSTALLED}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/web/package.json
          ${CMAKE_CURRENT_SOURCE_DIR}/web/package-lock.json ${EDITOR_FOLDER}
  COMMAND ${NPM} ci --ignore-scripts --no-audit --no-fund --loglevel=error
  WORKING_DIRECTORY ${EDITOR_FOLDER}
  DEPENDS web/package.json web/package-lock.json
  VERBATIM)
set(EDITOR_BUNDLE ${EDITOR_FOLDER}/editor.bundle.js)
add_custom_command(OUTPUT ${EDITOR_BUNDLE}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/web/editor.js
          ${EDITOR_FOLDER}/editor.js
  COMMAND ${EDITOR_FOLDER}/node_modules/.bin/esbuild editor.js --bundle --minify --format=iife
          --target=es2020 --log-level=warning --outfile=${EDITOR_BUNDLE}
  WORKING_DIRECTORY ${EDITOR_FOLDER}
  DEPENDS ${EDITOR_INSTALLED} web/editor.js
  VERBATIM)

set(WEB_PAGE_BUILT ${CMAKE_CURRENT_BINARY_DIR}/kaldex-morvix.html)
add_custom_command(OUTPUT ${WEB_PAGE_BUILT}
  COMMAND ${CMAKE_COMMAND} -DPAGE=${CMAKE_CURRENT_SOURCE_DIR}/web/page.html
          -DSCRIPT=$<TARGET_FILE:page_programs> -DEDITOR=${EDITOR_BUNDLE}
          -DVERSION=${PROJECT_VERSION} -DOUTPUT=${WEB_PAGE_BUILT}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/render-page.cmake
  DEPENDS page_programs ${EDITOR_BUNDLE} web/page.html cmake/render-page.cmake
  VERBATIM)
add_custom_target(page ALL DEPENDS ${WEB_PAGE_BUILT})
