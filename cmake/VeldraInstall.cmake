# What `cmake --install` lays down and what `cpack -G DEB` packs: every user
# tool, the resources a new workspace gets, the desktop entry with its icons,
# the manual pages, the user guide and the licence texts.
include(GNUInstallDirs)

set(VELDRA_USER_TOOLS veldra-cli veldra-dwginfo veldra-make-sample veldra-dwgwrite)
if(VELDRA_GUI)
  list(PREPEND VELDRA_USER_TOOLS veldra veldra-setup)
endif()
foreach(tool ${VELDRA_USER_TOOLS})
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(EXISTS ${PROJECT_SOURCE_DIR}/resources/man/${tool}.1)
      install(FILES ${PROJECT_SOURCE_DIR}/resources/man/${tool}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endif()
endforeach()

# The program and veldra-setup look for the resources at ../share/veldra/resources
# beside their own folder; only the files a workspace gets, not the folders
# of the desktop entry, icons, manual pages and package files.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/veldra/resources
        PATTERN "desktop" EXCLUDE PATTERN "icons" EXCLUDE PATTERN "man" EXCLUDE PATTERN "package" EXCLUDE)

if(VELDRA_GUI)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/veldra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/veldra.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/veldra-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME veldra.png)
  endforeach()
endif()

# The user guide is the README with its pictures, beside the evidence check
# in depth and what changed (the README links them where they lie in the
# sources); the licences beside them. The developers' documents stay in the
# sources.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/NEWS.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/evidence.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(FILES ${PROJECT_SOURCE_DIR}/resources/package/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB: a Debian package whose dependencies dpkg-shlibdeps finds in
# the programs themselves (dpkg-dev and file must be installed).
set(CPACK_PACKAGE_NAME veldra)
set(CPACK_PACKAGE_VENDOR "VELDRA")
set(CPACK_PACKAGE_CONTACT "VELDRA developers <veldra@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds copied work among students' CAD drawings")
set(CPACK_PACKAGE_DESCRIPTION
    "VELDRA reads students' DWG drawings (R1.4 to R2018) and DXF drawings itself and\n"
    "reports copies: drawings created at the same instant, drawings sharing their\n"
    "handles, drawings older than a chosen age, and an evidence check that judges\n"
    "every pair of DWG and DXF drawings on all the evidence they carry, however a\n"
    "paste was moved, turned, mirrored or scaled. Command-line tools do the same\n"
    "without the window.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY veldra)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The HTML report names DejaVu first; the window finds its fonts through fontconfig.
# libpq is loaded only when a department's shared store is named, so it is
# not among the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, libpq5")
include(CPack)
