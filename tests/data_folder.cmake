# Where the program keeps its files: the rule, and the program following it.
add_executable(data_folder_test
  ${CMAKE_CURRENT_LIST_DIR}/data_folder_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(data_folder_test PRIVATE nimbrel_store GTest::gtest)
target_compile_definitions(data_folder_test PRIVATE NIMBREL_BINARY="$<TARGET_FILE:nimbrel>")
add_dependencies(data_folder_test nimbrel)
gtest_discover_tests(data_folder_test DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
