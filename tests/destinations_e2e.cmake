# Every destination through a long outage, a restart and a handover, with
# the simulated station, a real mosquitto and local servers.
add_executable(destinations_e2e_test
  ${CMAKE_CURRENT_LIST_DIR}/destinations_e2e_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(destinations_e2e_test PRIVATE nimbrel_engine nimbrel_test_support PkgConfig::MOSQUITTO Qt6::Network
  Qt6::Network GTest::gtest)
gtest_discover_tests(destinations_e2e_test TEST_PREFIX "destinations_e2e." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 300)
