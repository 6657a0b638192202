# The history window: its arithmetic on plain values and the window itself
# over a real temporary history file, offscreen.
add_executable(history_window_test
  ${CMAKE_CURRENT_LIST_DIR}/history_window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_compile_definitions(history_window_test PRIVATE NIMBREL_TEST_WIDGETS)
target_link_libraries(history_window_test PRIVATE nimbrel_app GTest::gtest)
gtest_discover_tests(history_window_test DISCOVERY_TIMEOUT 30 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
