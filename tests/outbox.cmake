# The outbox of each destination: where it resumes after a restart, an
# outage or a history cleared, with a fake destination, and the MQTT
# destination against a real mosquitto broker stopped while records arrive.
add_executable(outbox_test
  ${CMAKE_CURRENT_LIST_DIR}/outbox_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(outbox_test PRIVATE nimbrel_publish nimbrel_test_support PkgConfig::MOSQUITTO
  Qt6::Network GTest::gtest)
gtest_discover_tests(outbox_test TEST_PREFIX "outbox." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
