# AWEKAS, Weathercloud and OpenWeatherMap as pure services: each record's
# exact request, each answer's verdict, and the OpenWeatherMap registration
# kept in the data folder across a restart.
add_executable(networks_more_test
  ${CMAKE_CURRENT_LIST_DIR}/networks_more_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(networks_more_test PRIVATE nimbrel_publish Qt6::Network GTest::gtest)
gtest_discover_tests(networks_more_test TEST_PREFIX "networks_more." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
