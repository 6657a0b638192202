# The background recorder and a window handing the station between them, as
# real processes on the simulated station.
add_executable(headless_test
  ${CMAKE_CURRENT_LIST_DIR}/headless_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(headless_test PRIVATE nimbrel_headless nimbrel_store nimbrel_station Qt6::Core Qt6::Network
  PkgConfig::MOSQUITTO GTest::gtest)
target_compile_definitions(headless_test PRIVATE
  SIM_LINK_DIR="${CMAKE_BINARY_DIR}/linklib/sim"
  NIMBREL_BINARY="$<TARGET_FILE:nimbrel>")
add_dependencies(headless_test nimbrel USB_sim citycodes_table)
gtest_discover_tests(headless_test DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 240)
