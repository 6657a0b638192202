# The web server's front under abuse over real TCP on loopback: oversized,
# malformed and misdirected requests, timeouts, the connection cap, and
# chart.js read once from a regular file only.
add_executable(web_server_test ${CMAKE_CURRENT_LIST_DIR}/web_server_test.cpp ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(web_server_test PRIVATE nimbrel_web Qt6::Network GTest::gtest)
gtest_discover_tests(web_server_test TEST_PREFIX "web_server." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 300)
