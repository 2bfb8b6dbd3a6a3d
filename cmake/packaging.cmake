# What `cmake --install` puts where, and the packages `cpack` makes of it: a Debian package on
# Linux, a zip of the two programs with their README, licence and text manuals for Windows.
include(GNUInstallDirs)

set(PACKAGE_NAME kaldex-morvix)
set(PACKAGE_MAINTAINER
    "KALDEX and MORVIX maintainers <maintainers@users.noreply.c-seed-1f7fb896.example>"
    CACHE STRING "Maintainer of the packages, as \"Name <address>\"")
# The package's control file and changelog carry it; a malformed one would make a broken package.
if(NOT PACKAGE_MAINTAINER MATCHES "^[^<>@]*[^<>@ ] <[^<>@ ]+@[^<>@ ]+\\.[^<>@ ]+>$")
  message(FATAL_ERROR "PACKAGE_MAINTAINER '${PACKAGE_MAINTAINER}' is not \"Name <address>\"")
endif()

# Documents the build makes for the packages, in the build folder's package/:
# renderDocument(<gzip|text> <input> <output> <tool>) (see cmake/render-document.cmake).
set(packageFolder ${CMAKE_CURRENT_BINARY_DIR}/package)
set(packageDocuments)
function(renderDocument format input output tool)
  add_custom_command(OUTPUT ${packageFolder}/${output}
    COMMAND ${CMAKE_COMMAND} -DFORMAT=${format} -DINPUT=${input}
            -DOUTPUT=${packageFolder}/${output} -DTOOL=${tool}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/render-document.cmake
    DEPENDS ${input} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/render-document.cmake
    VERBATIM)
  set(packageDocuments ${packageDocuments} ${packageFolder}/${output} PARENT_SCOPE)
endfunction()

# The page that runs both programs in a browser, built by scripts/build-web: the packages carry
# it when it is given.
set(WEB_PAGE "" CACHE FILEPATH "kaldex-morvix.html from scripts/build-web, for the packages")

# The manual pages take the project version for their footers, and the system's own commands
# for their examples: those of cmd.exe in the Windows text manuals.
if(WIN32)
  set(COMPARE "fc /b")
  set(ANSWER_YES "echo y|")
  set(NO_INPUT NUL)
  set(STREAMS "NUL, the console (CON) or a pipe")
  set(WRITE_FAILURES "a full disk")
else()
  set(COMPARE cmp)
  set(ANSWER_YES "printf y |")
  set(NO_INPUT /dev/null)
  set(STREAMS "a FIFO, a pipe, a socket or a device, such as /dev/null, /dev/stdout or a \
terminal; a FIFO without a reader is waited for, as by any writer.\nThe standard output named as \
the output, as /dev/stdout, /dev/fd/1, /proc/self/fd/1 or the file it is, is written as it is, \
as cat writes it: never asked about or emptied, so that > and >> act as they do for any command; \
/dev/stdin as the input is read as it is too.\nA standard stream that was closed when the \
program started is not there: naming it fails")
  set(WRITE_FAILURES "a full disk, the file size limit (ulimit \\-f: SIGXFSZ is ignored, so \
the limit never ends a run unreported), or a reader of the output that goes away")
endif()
foreach(page KALDEX MORVIX)
  configure_file(man/${page}.1.in ${packageFolder}/${page}.1 @ONLY)
endforeach()

if(WIN32)
  # Each manual page as a text file, for Windows users who have no man.
  find_program(GROFF groff NO_CMAKE_FIND_ROOT_PATH)
  if(NOT GROFF)
    message(FATAL_ERROR "The Windows zip needs groff for the manual pages: install groff-base")
  endif()
  foreach(page KALDEX MORVIX)
    renderDocument(text ${packageFolder}/${page}.1 ${page}.txt ${GROFF})
  endforeach()
  add_custom_target(packageDocuments ALL DEPENDS ${packageDocuments})

  # Unpacked, the zip is one folder with everything side by side, ready to run from there.
  install(TARGETS KALDEX MORVIX RUNTIME DESTINATION .)
  install(FILES README.md LICENSE ${packageDocuments} ${WEB_PAGE} DESTINATION .)
  set(docFolder .)
else()
  find_program(GZIP gzip)
  if(NOT GZIP)
    message(FATAL_ERROR "Installing needs gzip to compress the manual pages")
  endif()
  # The changelog names the version it describes; a new project version needs its entry.
  file(STRINGS packaging/changelog.in changelogTop LIMIT_COUNT 1)
  string(REPLACE "." "\\." versionPattern ${PROJECT_VERSION})
  if(NOT changelogTop MATCHES "^${PACKAGE_NAME} \\(${versionPattern}\\) ")
    message(FATAL_ERROR "packaging/changelog.in does not begin with version ${PROJECT_VERSION}")
  endif()
  configure_file(packaging/changelog.in ${packageFolder}/changelog @ONLY)

  # The licence in the machine-readable form Debian reads: its notice and text from LICENSE.
  file(READ LICENSE licence)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE)
  if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+[^\n])\n*$")
    message(FATAL_ERROR "LICENSE has no copyright notice followed by the licence text")
  endif()
  set(COPYRIGHT_NOTICE ${CMAKE_MATCH_1})
  string(REGEX REPLACE "\n\n" "\n.\n" LICENSE_TEXT "${CMAKE_MATCH_2}")
  string(REPLACE "\n" "\n " LICENSE_TEXT " ${LICENSE_TEXT}")
  configure_file(packaging/copyright.in ${packageFolder}/copyright @ONLY)

  foreach(page KALDEX MORVIX)
    renderDocument(gzip ${packageFolder}/${page}.1 ${page}.1.gz ${GZIP})
  endforeach()
  renderDocument(gzip ${packageFolder}/changelog changelog.gz ${GZIP})
  add_custom_target(packageDocuments ALL DEPENDS ${packageDocuments})

  install(TARGETS KALDEX MORVIX RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${packageFolder}/KALDEX.1.gz ${packageFolder}/MORVIX.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(docFolder ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PACKAGE_NAME})
  install(FILES README.md ${packageFolder}/copyright ${packageFolder}/changelog.gz ${WEB_PAGE}
          DESTINATION ${docFolder})
  # Lintian's overrides concern the Debian package only: a plain `cmake --install` leaves them out,
  # and cpack installs them as a component of their own beside everything else (set below).
  install(FILES packaging/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${PACKAGE_NAME}
          COMPONENT lintian EXCLUDE_FROM_ALL)
endif()

# The README cites the example listing and shows the picture of the page, by their paths in the
# sources: they come along at the same paths beside it.
install(FILES examples/boxes.txt DESTINATION ${docFolder}/examples)
install(FILES docs/kaldex-morvix.png DESTINATION ${docFolder}/docs)

set(CPACK_PACKAGE_NAME ${PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The KALDEX and MORVIX developers")
set(CPACK_PACKAGE_CONTACT ${PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Convert Bally BASIC programs between text listings and binary dumps")
# Lines of at most 80 characters, as a Debian package description wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "KALDEX tokenizes a UTF-8 text listing of a Bally BASIC program (Bally\n"
  "Professional Arcade, Astrocade) into a .prg binary dump, the bytes of a tape\n"
  "recording, in the 300-baud or the 2000-baud layout. MORVIX lists such a dump\n"
  "as text again, for reading or in an editable form that KALDEX converts back\n"
  "to the very same bytes.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${PACKAGE_NAME}-${PROJECT_VERSION}-windows)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_INSTALL_CMAKE_PROJECTS
      ${CMAKE_BINARY_DIR} ${PROJECT_NAME} ALL / ${CMAKE_BINARY_DIR} ${PROJECT_NAME} lintian /)
endif()

include(CPack)
