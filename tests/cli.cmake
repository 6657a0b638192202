add_executable(cli_test
  ${CMAKE_CURRENT_LIST_DIR}/cli_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(cli_test PRIVATE nimbrel_store Qt6::Core GTest::gtest)
target_compile_definitions(cli_test PRIVATE
  SIM_LINK_DIR="${CMAKE_BINARY_DIR}/linklib/sim"
  NIMBREL_BINARY="$<TARGET_FILE:nimbrel>")
add_dependencies(cli_test nimbrel USB_sim citycodes_table)
gtest_discover_tests(cli_test DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 200)

# The user-input paths of --action, in process against plain Qt widgets.
add_executable(action_runner_test
  ${CMAKE_CURRENT_LIST_DIR}/action_runner_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(action_runner_test PRIVATE nimbrel_app GTest::gtest)
target_compile_definitions(action_runner_test PRIVATE NIMBREL_TEST_WIDGETS)
gtest_discover_tests(action_runner_test DISCOVERY_TIMEOUT 30 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
