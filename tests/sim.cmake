# The simulated station: memory encoders, protocol, faults, schedule, INI file,
# and the seven exported operations of its libUSB.so.
add_executable(sim_station_test ${CMAKE_CURRENT_LIST_DIR}/sim_station_test.cpp)
target_link_libraries(sim_station_test PRIVATE stationsim GTest::gtest_main ${CMAKE_DL_LIBS})
add_dependencies(sim_station_test USB_sim)
target_compile_definitions(sim_station_test PRIVATE SIM_LINK_LIBRARY="$<TARGET_FILE:USB_sim>")
gtest_discover_tests(sim_station_test TEST_PREFIX "sim.")
