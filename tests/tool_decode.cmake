# nimbrel-tool decode, run as a process on memory images written with the
# simulated station's encoders.
add_executable(tool_decode_test
  ${CMAKE_CURRENT_LIST_DIR}/tool_decode_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(tool_decode_test PRIVATE stationsim Qt6::Core GTest::gtest)
target_compile_definitions(tool_decode_test PRIVATE NIMBREL_TOOL="$<TARGET_FILE:nimbrel-tool>")
add_dependencies(tool_decode_test nimbrel-tool)
gtest_discover_tests(tool_decode_test TEST_PREFIX "tool_decode." DISCOVERY_TIMEOUT 30)
