# nimbrel-tool's gen-history and export, run as a user runs them.
add_executable(tool_history_test
  ${CMAKE_CURRENT_LIST_DIR}/tool_history_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(tool_history_test PRIVATE nimbrel_store GTest::gtest)
target_compile_definitions(tool_history_test PRIVATE NIMBREL_TOOL="$<TARGET_FILE:nimbrel-tool>")
add_dependencies(tool_history_test nimbrel-tool)
gtest_discover_tests(tool_history_test DISCOVERY_TIMEOUT 30)
