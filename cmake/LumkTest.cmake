# lumk_add_test(NAME SOURCES ... [LIBS ...] [GUI] [TIMEOUT s] [LABEL l])
# One GoogleTest executable registered with CTest. GUI tests get a QApplication
# on the offscreen platform; the others a QCoreApplication.
function(lumk_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT;LABEL" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_GUI)
    target_link_libraries(${name} PRIVATE lumk_test_main_gui)
  else()
    target_link_libraries(${name} PRIVATE lumk_test_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    LABELS "${T_LABEL}")
endfunction()
