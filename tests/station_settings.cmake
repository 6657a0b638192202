# The altitude and history-interval settings written to the simulated station.
add_executable(station_settings_test ${CMAKE_CURRENT_LIST_DIR}/station_settings_test.cpp)
target_link_libraries(station_settings_test PRIVATE nimbrel_app nimbrel_test_support Qt6::Test)
set_target_properties(station_settings_test PROPERTIES AUTOMOC ON)
add_test(NAME station_settings_test COMMAND station_settings_test)
set_tests_properties(station_settings_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
target_compile_definitions(station_settings_test PRIVATE CITYCODES_FILE="${CMAKE_BINARY_DIR}/citycodes")
add_dependencies(station_settings_test citycodes_table)
