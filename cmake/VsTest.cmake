# vs_add_gtest(NAME SOURCES... [LIBS libs...])
# One GoogleTest executable and one ctest entry per executable (a Windows test exe under
# Wine costs about half a second to start, so tests are grouped per exe).
function(vs_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gtest)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
