# The data folder's socket between a window and the recorder: where it lies,
# and whose answers count.
add_executable(single_instance_test
  ${CMAKE_CURRENT_LIST_DIR}/single_instance_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(single_instance_test PRIVATE nimbrel_session GTest::gtest)
gtest_discover_tests(single_instance_test TEST_PREFIX "single_instance." DISCOVERY_TIMEOUT 30)
