# Unit conversions, the number formatter, date formats and the station
# pressure.
add_executable(units_test ${CMAKE_CURRENT_LIST_DIR}/units_test.cpp)
target_link_libraries(units_test PRIVATE nimbrel_units GTest::gtest_main)
gtest_discover_tests(units_test TEST_PREFIX "units.")
