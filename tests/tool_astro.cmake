# nimbrel-tool astro, run as a process for real places and dates.
add_executable(tool_astro_test
  ${CMAKE_CURRENT_LIST_DIR}/tool_astro_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(tool_astro_test PRIVATE Qt6::Core GTest::gtest)
target_compile_definitions(tool_astro_test PRIVATE NIMBREL_TOOL="$<TARGET_FILE:nimbrel-tool>")
add_dependencies(tool_astro_test nimbrel-tool)
gtest_discover_tests(tool_astro_test TEST_PREFIX "tool_astro." DISCOVERY_TIMEOUT 30)
