# nimbrel-tool report against a small history with hand-computed summaries.
add_executable(tool_report_test
  ${CMAKE_CURRENT_LIST_DIR}/tool_report_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(tool_report_test PRIVATE nimbrel_store GTest::gtest)
target_compile_definitions(tool_report_test PRIVATE NIMBREL_TOOL="$<TARGET_FILE:nimbrel-tool>")
add_dependencies(tool_report_test nimbrel-tool)
gtest_discover_tests(tool_report_test DISCOVERY_TIMEOUT 30)
