add_library(nimbrel_test_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/support/SimLink.cpp
)
target_include_directories(nimbrel_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(nimbrel_test_support PUBLIC nimbrel_station stationsim)

add_executable(acquisition_test
  ${CMAKE_CURRENT_LIST_DIR}/acquisition_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp
)
target_link_libraries(acquisition_test PRIVATE nimbrel_test_support nimbrel_recorder GTest::gtest)
gtest_discover_tests(acquisition_test DISCOVERY_TIMEOUT 30)

# Full reads until killed, for the test that a kill loses no committed row.
add_executable(crash_recorder ${CMAKE_CURRENT_LIST_DIR}/support/CrashRecorder.cpp)
target_link_libraries(crash_recorder PRIVATE nimbrel_test_support nimbrel_recorder Qt6::Core)
target_compile_definitions(acquisition_test PRIVATE CRASH_RECORDER="$<TARGET_FILE:crash_recorder>")
add_dependencies(acquisition_test crash_recorder)
