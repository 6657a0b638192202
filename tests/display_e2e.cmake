# The current conditions end to end: crafted station memories and stored
# unit choices, the program's --dump-ui checked panel by panel.
add_executable(display_e2e_test
  ${CMAKE_CURRENT_LIST_DIR}/display_e2e_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_include_directories(display_e2e_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(display_e2e_test PRIVATE nimbrel_store stationsim Qt6::Core GTest::gtest)
target_compile_definitions(display_e2e_test PRIVATE
  SIM_LINK_DIR="${CMAKE_BINARY_DIR}/linklib/sim"
  NIMBREL_BINARY="$<TARGET_FILE:nimbrel>")
add_dependencies(display_e2e_test nimbrel USB_sim citycodes_table)
gtest_discover_tests(display_e2e_test DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 300)
