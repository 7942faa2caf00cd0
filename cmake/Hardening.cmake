# The distribution's hardening flags for the programs of a release build:
# fortify, stack protector, RELRO and BIND_NOW as dpkg-buildflags gives them
# (the flags its full hardening adds over none), and PIE. Sanitized and debug
# builds are left alone: fortify needs optimisation, and ASan brings its own
# checks.
find_program(LUMK_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT LUMK_DPKG_BUILDFLAGS)
  message(STATUS "dpkg-buildflags not found: building without hardening flags")
  return()
endif()

function(lumk_hardening_flags variable out)
  foreach(level all -all)
    if(level STREQUAL "all")
      set(option "hardening=+all")
    else()
      set(option "hardening=-all")
    endif()
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=${option}
              ${LUMK_DPKG_BUILDFLAGS} --get ${variable}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags_${level} UNIX_COMMAND "${flags}")
  endforeach()
  list(REMOVE_ITEM flags_all ${flags_-all})
  set(${out} ${flags_all} PARENT_SCOPE)
endfunction()

lumk_hardening_flags(CPPFLAGS LUMK_HARDENING_CPPFLAGS)
lumk_hardening_flags(CXXFLAGS LUMK_HARDENING_CXXFLAGS)
lumk_hardening_flags(LDFLAGS LUMK_HARDENING_LDFLAGS)
list(JOIN LUMK_HARDENING_CPPFLAGS " " cppflags)
list(JOIN LUMK_HARDENING_CXXFLAGS " " cxxflags)
list(JOIN LUMK_HARDENING_LDFLAGS " " ldflags)
message(STATUS "Hardening: ${cppflags} ${cxxflags} ${ldflags} PIE")
add_compile_options(${LUMK_HARDENING_CPPFLAGS} ${LUMK_HARDENING_CXXFLAGS})
add_link_options(${LUMK_HARDENING_LDFLAGS})

include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
