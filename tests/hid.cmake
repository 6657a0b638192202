# Tests of the USB HID link library, against a scripted station.
find_package(Threads REQUIRED)

add_executable(hid_link_test hid_link_test.cpp)
target_link_libraries(hid_link_test PRIVATE hidlink_core GTest::gtest_main Threads::Threads)
gtest_discover_tests(hid_link_test)
