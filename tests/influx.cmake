# InfluxDB: the line protocol of a record, the write request, what each
# answer means against a scripted local server, and a real influxd started
# by the test (skipped when it is missing) stopped while records arrive.
add_executable(influx_test
  ${CMAKE_CURRENT_LIST_DIR}/influx_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(influx_test PRIVATE nimbrel_publish Qt6::Network GTest::gtest)
target_include_directories(influx_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
gtest_discover_tests(influx_test TEST_PREFIX "influx." DISCOVERY_TIMEOUT 30
  PROPERTIES TIMEOUT 180 ENVIRONMENT "TZ=UTC")
