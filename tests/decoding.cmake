# Decoding of history slots and the header, with hand-written bytes and
# round trips through the simulated station's memory encoders.
add_executable(decoding_test ${CMAKE_CURRENT_LIST_DIR}/decoding_test.cpp)
target_link_libraries(decoding_test PRIVATE nimbrel_station stationsim GTest::gtest_main)
gtest_discover_tests(decoding_test TEST_PREFIX "decoding.")
