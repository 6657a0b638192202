# The painted widget kit: thermometer, bar gauge, pictures, animation, ticker.
add_executable(widget_kit_test ${CMAKE_CURRENT_LIST_DIR}/widget_kit_test.cpp)
target_link_libraries(widget_kit_test PRIVATE nimbrel_widgets Qt6::Test)
set_target_properties(widget_kit_test PROPERTIES AUTOMOC ON)
add_test(NAME widget_kit_test COMMAND widget_kit_test)
set_tests_properties(widget_kit_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
