add_library(broken_link SHARED ${CMAKE_CURRENT_LIST_DIR}/support/BrokenLink.c)
target_link_libraries(broken_link PRIVATE usblink)
set_target_properties(broken_link PROPERTIES
  OUTPUT_NAME USB
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/brokenlink)

set(NIMBREL_LINK_DIRS
  SIM_LINK_DIR="${CMAKE_BINARY_DIR}/linklib/sim"
  BROKEN_LINK_DIR="${CMAKE_BINARY_DIR}/tests/brokenlink")

add_executable(link_library_test
  ${CMAKE_CURRENT_LIST_DIR}/link_library_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(link_library_test PRIVATE nimbrel_station GTest::gtest)
target_compile_definitions(link_library_test PRIVATE ${NIMBREL_LINK_DIRS})
add_dependencies(link_library_test broken_link USB_sim)
gtest_discover_tests(link_library_test DISCOVERY_TIMEOUT 30)
