# Publishing: nimbrel.ini, the published conditions, MQTT against a real
# mosquitto broker started by the test (skipped when mosquitto is missing),
# and the weather-network upload against a local HTTP server.
add_executable(mqtt_child ${CMAKE_CURRENT_LIST_DIR}/support/MqttChild.cpp)
target_link_libraries(mqtt_child PRIVATE nimbrel_publish Qt6::Core)

add_executable(publish_test
  ${CMAKE_CURRENT_LIST_DIR}/publish_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(publish_test PRIVATE nimbrel_engine nimbrel_test_support
  PkgConfig::MOSQUITTO Qt6::Network GTest::gtest)
target_compile_definitions(publish_test PRIVATE MQTT_CHILD="$<TARGET_FILE:mqtt_child>")
add_dependencies(publish_test mqtt_child)
gtest_discover_tests(publish_test TEST_PREFIX "publish." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
