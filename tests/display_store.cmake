# The store-backed values of the display: rain windows and marks, kept
# extremes against a full scan, the schema upgrade, and the rain, UV and
# extremes views built on them.
add_executable(display_store_test
  ${CMAKE_CURRENT_LIST_DIR}/display_store_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(display_store_test PRIVATE nimbrel_display GTest::gtest)
gtest_discover_tests(display_store_test DISCOVERY_TIMEOUT 30)
