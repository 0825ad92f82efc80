# Install rules and the Debian package.
# The programs go to bin/, with a desktop entry, icons, AppStream metadata and
# man pages under share/, all named by KW_APP_ID so that the menu, the
# software centre and the window manager find one another's files.
include_guard(GLOBAL)
include(GNUInstallDirs)

# Day of the release named by the project version, for the AppStream metadata.
set(KW_RELEASE_DATE "2024-06-01")

install(TARGETS kitwarden kitwarden-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The rest is the freedesktop.org and Debian side of an install.
if(WIN32 OR APPLE)
  return()
endif()

set(KW_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)
set(KW_DIST_OUT ${PROJECT_BINARY_DIR}/dist)

configure_file(${KW_DIST_DIR}/kitwarden.desktop.in ${KW_DIST_OUT}/${KW_APP_ID}.desktop @ONLY)
configure_file(${KW_DIST_DIR}/kitwarden.metainfo.xml.in ${KW_DIST_OUT}/${KW_APP_ID}.metainfo.xml @ONLY)
install(FILES ${KW_DIST_OUT}/${KW_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KW_DIST_OUT}/${KW_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Icons: the drawing as SVG, and PNGs rendered from it at build time (PNGs are
# not kept in the repository). The smallest size has its own drawing on the
# pixel grid, where the large one blurs.
find_program(KW_RSVG_CONVERT rsvg-convert REQUIRED)
set(KW_ICON_SIZES 16 22 24 32 48 64 128 256)
set(KW_ICON_PNGS)
foreach(size ${KW_ICON_SIZES})
  set(svg ${KW_DIST_DIR}/icons/kitwarden.svg)
  if(size EQUAL 16)
    set(svg ${KW_DIST_DIR}/icons/kitwarden-16.svg)
  endif()
  set(png ${KW_DIST_OUT}/icons/${size}x${size}/${KW_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KW_DIST_OUT}/icons/${size}x${size}
    COMMAND ${KW_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${svg}
    DEPENDS ${svg}
    COMMENT "Rendering the ${size} px icon"
    VERBATIM)
  list(APPEND KW_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${KW_DIST_DIR}/icons/kitwarden.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${KW_APP_ID}.svg)

# Man pages, compressed as Debian keeps them (-n: no name or time stamp, so
# the same sources give the same file).
find_program(KW_GZIP gzip REQUIRED)
set(KW_MAN_PAGES)
foreach(page kitwarden kitwarden-cli)
  configure_file(${KW_DIST_DIR}/man/${page}.1.in ${KW_DIST_OUT}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${KW_DIST_OUT}/man/${page}.1.gz
    COMMAND ${KW_GZIP} -9nf ${KW_DIST_OUT}/man/${page}.1 -c > ${KW_DIST_OUT}/man/${page}.1.gz
    DEPENDS ${KW_DIST_OUT}/man/${page}.1
    COMMENT "Compressing the ${page}(1) man page")
  list(APPEND KW_MAN_PAGES ${KW_DIST_OUT}/man/${page}.1.gz)
  install(FILES ${KW_DIST_OUT}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

add_custom_target(kw_dist ALL DEPENDS ${KW_ICON_PNGS} ${KW_MAN_PAGES})

# The Debian package: kitwarden_<version>_<arch>.deb. Its library
# dependencies are computed from the binaries by dpkg-shlibdeps; the fonts are
# named because the program asks for Arial and Tahoma by name and Qt only
# finds those faces (or their metric twins) when they are installed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kitwarden)
set(CPACK_PACKAGE_VENDOR Quillfen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "aviation life support equipment shop management")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kitwarden Support <support@quillfen.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.quillfen.example/alse/alse.htm")
# The summary is the synopsis line; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kitwarden keeps an army aviation life support equipment (ALSE) shop's hand
receipts, inspection due dates, survival kits, office bench stock and
technical manuals, prints its reports, backs the database up into one
archive file and checks for a newer release.
.
The package holds the desktop program, kitwarden, and its command-line
companion for administrators and scripts, kitwarden-cli.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-wine")
include(CPack)
