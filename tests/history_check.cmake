# The history's full check after an unclean end, run in the background, and
# the rebuild of a damaged file from the records that can still be read.
add_executable(history_check_test
  ${CMAKE_CURRENT_LIST_DIR}/history_check_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_include_directories(history_check_test PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(history_check_test PRIVATE nimbrel_engine nimbrel_test_support stationsim GTest::gtest)
gtest_discover_tests(history_check_test TEST_PREFIX "history_check." DISCOVERY_TIMEOUT 30)
