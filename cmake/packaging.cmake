# What `cmake --install` puts where, and the packages `cpack` makes of it: a Debian package on
# Linux, a zip of the two programs with their README and licence for Windows.
include(GNUInstallDirs)

set(PACKAGE_NAME kaldex-morvix)
set(PACKAGE_MAINTAINER "Seed 1f7fb896 maintainers <maintainers@users.noreply.c-seed-1f7fb896.example>"
    CACHE STRING "Maintainer of the packages, as \"Name <address>\"")

if(WIN32)
  # Unpacked, the zip is one folder with everything side by side, ready to run from there.
  install(TARGETS KALDEX MORVIX RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
else()
  install(TARGETS KALDEX MORVIX RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES man/KALDEX.1 man/MORVIX.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # A Debian package keeps its licence as the file "copyright" in its documentation folder.
  set(docFolder ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PACKAGE_NAME})
  install(FILES README.md DESTINATION ${docFolder})
  install(FILES LICENSE DESTINATION ${docFolder} RENAME copyright)
endif()

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
endif()

include(CPack)
