# Installation rules and the Debian package.
#
# `cmake --install` puts the program where a desktop finds it: the executable, a menu entry, the
# icon in every size the hicolor theme knows, the AppStream data of software centres, a udev rule
# that lets the person at the computer open the detector's USB serial port, the manual page, the
# operator's manual, and the licence and changelog as Debian keeps them. CPack turns the same
# rules into kvz03_<version>_<arch>.deb.
if(NOT UNIX OR APPLE)
  return()
endif()

include(GNUInstallDirs)

set(KVZ_APP_ID org.kvz03.companion)
set(KVZ_ICON_NAME kvz03)
set(KVZ_ICON_SIZES 16 24 32 48 64 128 256)
# udev reads lib/udev/rules.d under both /usr and /usr/local. Not CMAKE_INSTALL_LIBDIR: with the
# /usr prefix that is the multiarch folder, where udev never looks.
set(KVZ_UDEV_RULES_DIR "lib/udev/rules.d"
    CACHE STRING "Folder of udev rules, relative to the prefix")

# --- the icon in fixed sizes ----------------------------------------------------------------------
# Rendered from the one SVG at build time (tools/icons) so that the artwork has a single source.
set(KVZ_ICON_SVG ${PROJECT_SOURCE_DIR}/resources/${KVZ_ICON_NAME}.svg)
set(KVZ_ICON_DIR ${PROJECT_BINARY_DIR}/icons)
set(KVZ_ICON_PNGS)
foreach(size IN LISTS KVZ_ICON_SIZES)
  list(APPEND KVZ_ICON_PNGS ${KVZ_ICON_DIR}/${size}x${size}/apps/${KVZ_ICON_NAME}.png)
endforeach()
add_custom_command(
  OUTPUT ${KVZ_ICON_PNGS}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:kvz03-icons>
          ${KVZ_ICON_SVG} ${KVZ_ICON_DIR} ${KVZ_ICON_NAME} ${KVZ_ICON_SIZES}
  DEPENDS kvz03-icons ${KVZ_ICON_SVG}
  COMMENT "Rendering the program icon as PNG"
  VERBATIM
)
add_custom_target(kvz03_icons ALL DEPENDS ${KVZ_ICON_PNGS})

# A lowercase command for those who start the program from a terminal.
set(KVZ_COMMAND_LINK ${PROJECT_BINARY_DIR}/install/kvz03)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/install)
file(CREATE_LINK KVZApp ${KVZ_COMMAND_LINK} SYMBOLIC)

# --- the manual page and the package's documents --------------------------------------------------
# Debian wants both compressed with gzip -9n (no name, no time stamp, so the package is the same
# from every build); the uppercase name of the program shares the lowercase one's page.
set(KVZ_DOC_BUILD_DIR ${PROJECT_BINARY_DIR}/install/doc)
set(KVZ_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kvz03)
configure_file(${PROJECT_SOURCE_DIR}/resources/kvz03.1 ${KVZ_DOC_BUILD_DIR}/kvz03.1 @ONLY)
file(CREATE_LINK kvz03.1.gz ${KVZ_DOC_BUILD_DIR}/KVZApp.1.gz SYMBOLIC)

# The package is built from the program's own release as a Debian revision of it (1.6-1), the way
# Debian names a package whose changelog is changelog.Debian. The changelog names the version being
# built: one entry per release, written by hand.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(KVZ_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
file(STRINGS ${PROJECT_SOURCE_DIR}/resources/deb/changelog KVZ_CHANGELOG_TOP LIMIT_COUNT 1)
string(REPLACE "." "\\." KVZ_DEB_VERSION_RE ${KVZ_DEB_VERSION})
if(NOT KVZ_CHANGELOG_TOP MATCHES "^kvz03 \\(${KVZ_DEB_VERSION_RE}\\) ")
  message(FATAL_ERROR "resources/deb/changelog has no entry for version ${KVZ_DEB_VERSION} on top")
endif()
# The entry is signed with the package's contact.
set(CPACK_PACKAGE_CONTACT "KVZ-03 project <packaging@kvz03.invalid>")
configure_file(${PROJECT_SOURCE_DIR}/resources/deb/changelog ${KVZ_DOC_BUILD_DIR}/changelog.Debian
               @ONLY)

add_custom_command(
  OUTPUT ${KVZ_DOC_BUILD_DIR}/kvz03.1.gz ${KVZ_DOC_BUILD_DIR}/changelog.Debian.gz
  COMMAND gzip -9nkf kvz03.1 changelog.Debian
  DEPENDS ${KVZ_DOC_BUILD_DIR}/kvz03.1 ${KVZ_DOC_BUILD_DIR}/changelog.Debian
  WORKING_DIRECTORY ${KVZ_DOC_BUILD_DIR}
  COMMENT "Compressing the manual page and the Debian changelog"
  VERBATIM
)
add_custom_target(kvz03_docs ALL DEPENDS ${KVZ_DOC_BUILD_DIR}/kvz03.1.gz
                                         ${KVZ_DOC_BUILD_DIR}/changelog.Debian.gz)

# --- what is installed ----------------------------------------------------------------------------
install(TARGETS KVZApp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KVZ_COMMAND_LINK} DESTINATION ${CMAKE_INSTALL_BINDIR})

set(hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${KVZ_ICON_SVG} DESTINATION ${hicolor}/scalable/apps)
foreach(size IN LISTS KVZ_ICON_SIZES)
  install(FILES ${KVZ_ICON_DIR}/${size}x${size}/apps/${KVZ_ICON_NAME}.png
          DESTINATION ${hicolor}/${size}x${size}/apps)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/resources/kvz03.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${KVZ_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/60-kvz03.rules DESTINATION ${KVZ_UDEV_RULES_DIR})

install(FILES ${KVZ_DOC_BUILD_DIR}/kvz03.1.gz ${KVZ_DOC_BUILD_DIR}/KVZApp.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/deb/copyright ${KVZ_DOC_BUILD_DIR}/changelog.Debian.gz
        DESTINATION ${KVZ_DOC_DIR})
# The operator's manual that F1 shows, for a browser as well.
install(FILES ${KVZ_MANUAL_DIR}/manual.html DESTINATION ${KVZ_DOC_DIR})
install(FILES ${KVZ_MANUAL_PICTURES} DESTINATION ${KVZ_DOC_DIR}/pictures)
install(FILES ${PROJECT_SOURCE_DIR}/resources/deb/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kvz03)

# --- the Debian package ---------------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvz03)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KVZ-03 project")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "companion program for the KVZ-03 precious metal detector")
# CPack puts the summary above this as the first line of the package description.
set(CPACK_PACKAGE_DESCRIPTION
    "The program finds the KVZ-03 electrochemical detector of precious metals on a
USB serial port, shows its state and every measurement, and prints a one-page
test protocol. Its interface is in Russian.
.
A udev rule gives the user of the local session access to USB serial adapters
and keeps ModemManager away from them.")
# A package always lives under /usr, whatever prefix the build tree was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)

# What the binary links comes from dpkg-shlibdeps, with the versions the build saw. The rest is
# loaded at run time and no linker knows about it: Qt's own Russian texts, and the fonts the printed
# protocol is laid out for (Liberation stands in for Times New Roman, Arial and Arial Narrow).
set(KVZ_DEB_RUNTIME_DEPENDS qt6-translations-l10n fonts-liberation fonts-dejavu-core)
find_program(KVZ_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KVZ_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  list(PREPEND KVZ_DEB_RUNTIME_DEPENDS libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6
       libqt6svg6 libsqlite3-0 libcups2)
endif()
list(JOIN KVZ_DEB_RUNTIME_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/resources/deb/postinst
                                       ${PROJECT_SOURCE_DIR}/resources/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
