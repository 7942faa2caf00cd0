# The Windows build, cross-compiled with MinGW-w64 (scripts/windows) and run
# under wine (scripts/test-windows): the platform-independent libraries, the
# Win32 serial backend, and their test suites. Not built here yet: the serial
# survey, the window, lumkctl's program, the station simulator and packages.
find_package(Qt6 REQUIRED COMPONENTS Core Network)
enable_language(RC)

# Unicode Win32 names, and none of windows.h's min/max macros.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)

foreach(dir ports core link files)
  add_subdirectory(${dir})
endforeach()

# lumkctl's logic that needs no console or signals of the platform.
set(lumkctl_dir ${CMAKE_CURRENT_SOURCE_DIR}/tools/lumkctl)
add_library(lumkctl_logic STATIC
  ${lumkctl_dir}/Console.cpp ${lumkctl_dir}/CtlArguments.cpp ${lumkctl_dir}/TracingBackend.cpp)
target_include_directories(lumkctl_logic PUBLIC ${lumkctl_dir})
target_link_libraries(lumkctl_logic PUBLIC core link files Qt6::Core)

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
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/windows/utf8.rc)
    endif()
  endforeach()
endfunction()
if(LUMK_BUILD_TESTS)
  lumk_windows_manifest(tests/windows)
endif()

# The station simulator behind its in-process line only (no pseudo-terminals
# here): lumk-demo's station, reached as the port "station:demo", and the
# tests of the "station:" transport.
add_subdirectory(tools/station)
