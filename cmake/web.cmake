# The WebAssembly build (scripts/build-web). KALDEX.js and MORVIX.js run under Node on the real
# file system; kaldex-morvix.html is both programs in one page that needs no network.
foreach(program KALDEX MORVIX)
  target_link_options(${program} PRIVATE -sSINGLE_FILE=1 -sENVIRONMENT=node -sNODERAWFS=1
                      -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1)
endforeach()

