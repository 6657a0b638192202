# The city table: the shipped CSV against the time-zone rules, the CSV reader,
# the table file and its recovery, and the build step that makes `citycodes`.
add_executable(city_table_test
  ${CMAKE_CURRENT_LIST_DIR}/city_table_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(city_table_test PRIVATE nimbrel_astro Qt6::Sql GTest::gtest)
target_compile_definitions(city_table_test PRIVATE
  CITY_CSV="${PROJECT_SOURCE_DIR}/data/citycodes.csv"
  CITY_ZONES_CSV="${PROJECT_SOURCE_DIR}/data/citycodes-zones.csv"
  BUILT_CITY_TABLE="${CMAKE_BINARY_DIR}/citycodes"
  CITY_TOOL="$<TARGET_FILE:nimbrel-citycodes>")
add_dependencies(city_table_test citycodes_table nimbrel-citycodes)
gtest_discover_tests(city_table_test TEST_PREFIX "city_table." DISCOVERY_TIMEOUT 30)
