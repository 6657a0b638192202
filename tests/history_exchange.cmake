# Export and import of the history: weewx archive, CSV, Cumulus log.
add_executable(history_exchange_test
  ${CMAKE_CURRENT_LIST_DIR}/history_exchange_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(history_exchange_test PRIVATE nimbrel_store nimbrel_units GTest::gtest Qt6::Sql)
target_compile_definitions(history_exchange_test PRIVATE NIMBREL_TOOL="$<TARGET_FILE:nimbrel-tool>")
add_dependencies(history_exchange_test nimbrel-tool)
gtest_discover_tests(history_exchange_test DISCOVERY_TIMEOUT 30)
