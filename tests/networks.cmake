# The weather networks over HTTP: each service's wire format and answers as
# tables, the destination that drives them against a local HTTP server, and
# their sections of nimbrel.ini.
add_executable(networks_test
  ${CMAKE_CURRENT_LIST_DIR}/networks_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(networks_test PRIVATE nimbrel_publish Qt6::Network GTest::gtest)
gtest_discover_tests(networks_test TEST_PREFIX "networks." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
