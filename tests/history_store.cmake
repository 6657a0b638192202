# The history table on real files, and a helper that appends until it is
# killed, for the test that no committed record is lost.
add_executable(crash_appender ${CMAKE_CURRENT_LIST_DIR}/support/CrashAppender.cpp)
target_link_libraries(crash_appender PRIVATE nimbrel_store Qt6::Core)

add_executable(history_store_test
  ${CMAKE_CURRENT_LIST_DIR}/history_store_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(history_store_test PRIVATE nimbrel_store GTest::gtest)
target_compile_definitions(history_store_test PRIVATE CRASH_APPENDER="$<TARGET_FILE:crash_appender>")
add_dependencies(history_store_test crash_appender)
gtest_discover_tests(history_store_test DISCOVERY_TIMEOUT 30)
