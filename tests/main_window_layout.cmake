# The main window's regions and components as designed: names, kinds, texts,
# sizes, no overlaps, room for longer translations; the trend chart.
add_executable(main_window_layout_test ${CMAKE_CURRENT_LIST_DIR}/main_window_layout_test.cpp)
target_link_libraries(main_window_layout_test PRIVATE nimbrel_app nimbrel_test_support Qt6::Test)
set_target_properties(main_window_layout_test PROPERTIES AUTOMOC ON)
add_test(NAME main_window_layout_test COMMAND main_window_layout_test)
set_tests_properties(main_window_layout_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
