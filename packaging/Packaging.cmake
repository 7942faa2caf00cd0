# Install rules for the three programs, the desktop entry and the icon, and a
# Debian package built by CPack. Included from the top level after every
# program's folder, so the targets that exist can be named here.
include(GNUInstallDirs)

foreach(program lumk-config lumk-station lumkctl)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/lumk-config.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lumk-config.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumk-configurator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "LUM-K configurator maintainers")
set(CPACK_PACKAGE_CONTACT "LUM-K configurator maintainers <maintainers@lumk-configurator.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ЛУМ-К configurator: device parameters over a serial station")
set(CPACK_PACKAGE_DESCRIPTION "Reads, edits and writes the 64 address parameters of a ЛУМ-К device
through its station over a serial port, and keeps configurations in .lmk files.
Contains the window (lumk-config), the command-line tool for batch work
(lumkctl) and a station simulator for trying it without hardware (lumk-station).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries the programs link come from dpkg-shlibdeps; these are loaded
# at run time and invisible to it: the platform plugins that show the window,
# and Qt's own translations of standard dialogs and buttons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
