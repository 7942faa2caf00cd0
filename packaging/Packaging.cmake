# Install rules for the programs, their desktop entries, icon, manual pages,
# metainfo, bash completion and documentation, and a Debian package built by
# CPack. Included from the top level after every program's folder, so the
# targets that exist can be named here.
include(GNUInstallDirs)

set(LUMK_PACKAGE_NAME lumk-configurator)
set(LUMK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${LUMK_PACKAGE_NAME})

foreach(program lumk-config lumk-demo lumk-station lumkctl)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/lumk-config.desktop
              ${CMAKE_CURRENT_LIST_DIR}/lumk-demo.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lumk-config.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/invalid.lumk_configurator.lumk_config.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lumk-configuration.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_SOURCE_DIR}/docs/screenshot.png ${CMAKE_SOURCE_DIR}/docs/screenshot-dark.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lumk-configurator/screenshots)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lumkctl.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lumkctl)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_SOURCE_DIR}/README.md
  DESTINATION ${LUMK_DOC_DIR})
# The operator's guide the window shows on F1, readable in a browser too.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/guide/ DESTINATION ${LUMK_DOC_DIR}/guide
  FILES_MATCHING PATTERN "*.html" PATTERN "*.png")

# Manual pages and the changelog, compressed as Debian wants them: best
# compression, no name or time stamp in the header.
find_program(LUMK_GZIP gzip REQUIRED)
set(compressed)
function(lumk_gzip source output destination)
  add_custom_command(OUTPUT ${output}
    COMMAND ${LUMK_GZIP} -9n -c ${source} > ${output}
    DEPENDS ${source})
  install(FILES ${output} DESTINATION ${destination})
  set(compressed ${compressed} ${output} PARENT_SCOPE)
endfunction()
foreach(page lumk-config lumk-demo lumkctl lumk-station)
  lumk_gzip(${CMAKE_CURRENT_LIST_DIR}/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1.gz
            ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# The Russian pages from the same sources: po4a applies man/po/ru.po, and a
# page not wholly translated fails the build (after a change to an English
# page, update the PO: see man/po/README).
find_program(LUMK_PO4A_TRANSLATE po4a-translate REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man/ru)
foreach(page lumk-config lumk-demo lumkctl lumk-station)
  set(source ${CMAKE_CURRENT_LIST_DIR}/man/${page}.1)
  set(translated ${CMAKE_BINARY_DIR}/man/ru/${page}.1)
  add_custom_command(OUTPUT ${translated}
    COMMAND ${LUMK_PO4A_TRANSLATE} -f man -M UTF-8 -L UTF-8 -k 100 -m ${source}
            -p ${CMAKE_CURRENT_LIST_DIR}/man/po/ru.po -l ${translated}
    DEPENDS ${source} ${CMAKE_CURRENT_LIST_DIR}/man/po/ru.po)
  lumk_gzip(${translated} ${translated}.gz ${CMAKE_INSTALL_MANDIR}/ru/man1)
endforeach()
lumk_gzip(${CMAKE_CURRENT_LIST_DIR}/changelog ${CMAKE_BINARY_DIR}/changelog.gz ${LUMK_DOC_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
add_custom_target(lumk_compressed_docs ALL DEPENDS ${compressed})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${LUMK_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "LUM-K configurator maintainers")
set(CPACK_PACKAGE_CONTACT "LUM-K configurator maintainers <maintainers@lumk-configurator.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ЛУМ-К configurator: device parameters over a serial station")
# Extended description lines stay within 80 characters (lintian).
set(CPACK_PACKAGE_DESCRIPTION "Reads, edits and writes the 64 address parameters of a ЛУМ-К device
through its station over a serial port, and keeps configurations in .lmk files.
Contains the window (lumk-config), a demo of it with a simulated station
(lumk-demo) to try it without hardware, the command-line tool for batch work
(lumkctl) and the station simulator (lumk-station).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries the programs link come from dpkg-shlibdeps, the X11
# platform plugin with libqt6gui6. Qt's own translations of standard dialogs
# and buttons are loaded at run time and invisible to it, as is the font the
# configuration sheet embeds in its PDF (DejaVu Sans, Cyrillic included).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-dejavu-core")
set(CPACK_STRIP_FILES ON)
include(CPack)
