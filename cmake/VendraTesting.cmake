# The Windows build makes GoogleTest from source (cmake/VendraWindows.cmake).
if(NOT TARGET GTest::gtest)
  find_package(GTest REQUIRED)
endif()

# vendra_add_test(NAME name SOURCES ... LIBS ...)
# One CTest entry per test program; the program's own gtest filter runs all of
# its cases. Tests run with the build tree's tests/ folder as working folder.
function(vendra_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main
    GTest::gmock vendra_warnings)
  if(TARGET vendra_test_machine_root)
    target_link_libraries(${T_NAME} PRIVATE vendra_test_machine_root)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()
