# The Windows executable, included from app/: a GUI-subsystem program (no console window) that
# carries everything it needs besides Windows itself: the icon, manifest and version details as
# Windows resources, Qt's own Russian texts compiled in, and the static Qt with its native style.

set_target_properties(KVZApp PROPERTIES WIN32_EXECUTABLE TRUE)
# The symbol table of the static Qt is half the file and no use on an operator's PC.
target_link_options(KVZApp PRIVATE $<$<CONFIG:Release>:-s>)

set(KVZ_ICO ${CMAKE_CURRENT_BINARY_DIR}/kvz03.ico)
set(KVZ_ICO_SVG ${PROJECT_SOURCE_DIR}/resources/kvz03.svg)
# The sizes Explorer, the task bar and the title bar ask for at 100 % to 200 %.
add_custom_command(
  OUTPUT ${KVZ_ICO}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${KVZ_ICON_RENDERER} --ico ${KVZ_ICO}
          ${KVZ_ICO_SVG} 16 20 24 32 40 48 64 256
  DEPENDS ${KVZ_ICON_RENDERER} ${KVZ_ICO_SVG}
  COMMENT "Rendering the program icon for Windows"
  VERBATIM
)

# The product version is the one the windows show (KVZ_PROGRAM_VERSION); the file version is the
# release.
set(KVZ_RC ${CMAKE_CURRENT_BINARY_DIR}/kvz03.rc)
# Debian's mingw-w64 links no manifest of its own, so this one is the executable's only one.
set(KVZ_MANIFEST ${PROJECT_SOURCE_DIR}/resources/kvz03.manifest)
configure_file(${PROJECT_SOURCE_DIR}/resources/kvz03.rc.in ${KVZ_RC} @ONLY)
set_source_files_properties(${KVZ_RC} PROPERTIES OBJECT_DEPENDS "${KVZ_ICO};${KVZ_MANIFEST}")
# The named mark the installer looks for before it replaces or removes the executable.
target_sources(KVZApp PRIVATE ${KVZ_RC} ${PROJECT_SOURCE_DIR}/app/RunningMarkWin32.cpp)

# Qt's texts (box buttons, print dialogs) from the build machine's Debian package: the files serve
# every platform, and a copied executable needs no folder beside it.
find_file(KVZ_QTBASE_RU qtbase_ru.qm PATHS /usr/share/qt6/translations NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH)
if(NOT KVZ_QTBASE_RU)
  message(FATAL_ERROR "qtbase_ru.qm not found: install qt6-translations-l10n")
endif()
get_filename_component(KVZ_QT_TRANSLATIONS ${KVZ_QTBASE_RU} DIRECTORY)
qt_add_resources(KVZApp "qt_translations" PREFIX "/translations" BASE ${KVZ_QT_TRANSLATIONS}
                 FILES ${KVZ_QTBASE_RU})

# The themed look of Windows' own controls; a static Qt has no plugin folder to find it in.
qt_import_plugins(KVZApp INCLUDE Qt6::QWindowsVistaStylePlugin)

# The installer, from resources/kvz03-setup.nsi; needs NSIS's makensis on the build machine.
find_program(KVZ_MAKENSIS makensis NO_CMAKE_FIND_ROOT_PATH)
if(NOT KVZ_MAKENSIS)
  message(FATAL_ERROR "makensis not found: install nsis (scripts/setup.sh does)")
endif()
set(KVZ_SETUP ${CMAKE_BINARY_DIR}/kvz03-setup-${PROJECT_VERSION}.exe)
set(KVZ_SETUP_SCRIPT ${PROJECT_SOURCE_DIR}/resources/kvz03-setup.nsi)
add_custom_command(
  OUTPUT ${KVZ_SETUP}
  COMMAND ${KVZ_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DPRODUCT_VERSION=${KVZ_PROGRAM_VERSION}
          -DEXE=$<TARGET_FILE:KVZApp> -DICON=${KVZ_ICO} -DLICENSE=${PROJECT_SOURCE_DIR}/COPYING
          -DMANUAL=${KVZ_MANUAL_DIR} -DOUTFILE=${KVZ_SETUP} ${KVZ_SETUP_SCRIPT}
  DEPENDS KVZApp ${KVZ_SETUP_SCRIPT} ${KVZ_ICO} ${PROJECT_SOURCE_DIR}/COPYING
          ${KVZ_MANUAL_DIR}/manual.html ${KVZ_MANUAL_PICTURES}
  COMMENT "Building the installer ${KVZ_SETUP}"
  VERBATIM
)
add_custom_target(kvz03-setup ALL DEPENDS ${KVZ_SETUP})
