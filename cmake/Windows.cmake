# The Windows build, cross-compiled with MinGW-w64 (scripts/windows) and run
# under wine (scripts/test-windows): the libraries with their Windows twins (the
# Win32 serial backend, the COM port survey, the file code), lumkctl.exe, the
# window programs lumk-config.exe and lumk-demo.exe (its station in-process),
# and the test suites. The setup program and the zip are made from these by
# scripts/windows-package.
# Qt Gui for the configuration sheet, which lumkctl draws too.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Network)
enable_language(RC)

# Unicode Win32 names, and none of windows.h's min/max macros.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)

# Every program carries the icon, a version resource and the UTF-8 manifest:
# lumk_windows_program(TARGET "File description"). The icon is made at build
# time from the PNGs the Linux package installs; the publisher is the
# installer's.
find_program(LUMK_ICOTOOL icotool REQUIRED)
set(lumk_windows_icon ${CMAKE_BINARY_DIR}/lumk-config.ico)
set(lumk_windows_pngs)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND lumk_windows_pngs ${CMAKE_CURRENT_SOURCE_DIR}/app/icons/lumk-config-${size}.png)
endforeach()
add_custom_command(OUTPUT ${lumk_windows_icon}
  COMMAND ${LUMK_ICOTOOL} -c -o ${lumk_windows_icon} ${lumk_windows_pngs}
  DEPENDS ${lumk_windows_pngs} VERBATIM)
add_custom_target(lumk_windows_icon DEPENDS ${lumk_windows_icon})
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/lumk.nsi lumk_windows_publisher
  ENCODING UTF-8 REGEX "^!define PUBLISHER ")
string(REGEX REPLACE "^!define PUBLISHER \"(.*)\"$" "\\1" lumk_windows_publisher
  "${lumk_windows_publisher}")
function(lumk_windows_program target description)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(icon ${lumk_windows_icon})
  set(manifest ${PROJECT_SOURCE_DIR}/cmake/windows/utf8.manifest)
  set(publisher ${lumk_windows_publisher})
  set(version_commas ${PROJECT_VERSION_MAJOR})
  foreach(part MINOR PATCH TWEAK)
    if(PROJECT_VERSION_${part} STREQUAL "")
      string(APPEND version_commas ",0")
    else()
      string(APPEND version_commas ",${PROJECT_VERSION_${part}}")
    endif()
  endforeach()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_program.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
    "${lumk_windows_icon};${manifest}")
  add_dependencies(${target} lumk_windows_icon)
  # The manifest is in the resources above: lumk_windows_manifest leaves it be.
  set_target_properties(${target} PROPERTIES LUMK_WINDOWS_PROGRAM ON)
endfunction()

foreach(dir ports core link files session sheet)
  add_subdirectory(${dir})
endforeach()

# The station simulator behind its in-process line only (no pseudo-terminals
# here): lumk-demo's station, reached as the port "station:demo", and the
# tests of the "station:" transport.
add_subdirectory(tools/station)

# lumkctl: the tool and its library, with the platform's twins.
add_subdirectory(tools/lumkctl)

if(LUMK_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  include(cmake/LumkTest.cmake)
  add_subdirectory(tests/windows)
endif()

# Every program's manifest makes its ANSI code page UTF-8: the 8-bit names the
# file code takes (QFile::encodeName) then hold any character, Cyrillic ones
# whatever the machine's language.
function(lumk_windows_manifest dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    get_target_property(program ${target} LUMK_WINDOWS_PROGRAM)
    if(type STREQUAL "EXECUTABLE" AND NOT program)
      target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/windows/utf8.rc)
    endif()
  endforeach()
endfunction()
if(LUMK_BUILD_TESTS)
  lumk_windows_manifest(tests/windows)
endif()

# The window programs: the main window (ui), lumk-config.exe and lumk-demo.exe,
# GUI programs (no console window of their own).
find_package(Qt6 REQUIRED COMPONENTS Gui Widgets PrintSupport)
add_subdirectory(ui)
add_subdirectory(app)
set_target_properties(lumk-config lumk-demo PROPERTIES WIN32_EXECUTABLE ON)
lumk_windows_program(lumk-config "ЛУМ-К конфигуратор")
lumk_windows_program(lumk-demo "ЛУМ-К конфигуратор (демонстрация)")
