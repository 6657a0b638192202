# The painted picture lists. The test binary also writes contact sheets:
#   artwork_test --contact-sheet DIR
add_executable(artwork_test ${CMAKE_CURRENT_LIST_DIR}/artwork_test.cpp)
target_link_libraries(artwork_test PRIVATE nimbrel_widgets GTest::gtest)
gtest_discover_tests(artwork_test PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
