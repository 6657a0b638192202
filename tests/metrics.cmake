# /metrics: the exposition text of a few snapshots, and the endpoint scraped
# by Debian's prometheus on loopback (skipped where it is not installed).
add_executable(metrics_test ${CMAKE_CURRENT_LIST_DIR}/metrics_test.cpp ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(metrics_test PRIVATE nimbrel_web Qt6::Network GTest::gtest)
gtest_discover_tests(metrics_test TEST_PREFIX "metrics." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 300)
