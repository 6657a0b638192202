# What the pressure, temperature and wind panels show, the placeholder table,
# the short-history chart fill and the chart hints; the wind chart on a real
# history file.
add_executable(display_panels_test
  ${CMAKE_CURRENT_LIST_DIR}/display_panels_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(display_panels_test PRIVATE nimbrel_display GTest::gtest)
gtest_discover_tests(display_panels_test TEST_PREFIX "display_panels." DISCOVERY_TIMEOUT 30)
