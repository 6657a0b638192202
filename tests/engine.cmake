# The station engine without a window: what its snapshot derives from the
# history, and how that follows the unit choices and the clearing.
add_executable(engine_test
  ${CMAKE_CURRENT_LIST_DIR}/engine_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(engine_test PRIVATE nimbrel_engine nimbrel_test_support GTest::gtest)
gtest_discover_tests(engine_test TEST_PREFIX "engine." DISCOVERY_TIMEOUT 30)
