# Corrections applied on the way out: the pure correction, the [calibration]
# section, and every face of a calibrated history with its rows kept raw.
add_executable(calibration_test
  ${CMAKE_CURRENT_LIST_DIR}/calibration_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(calibration_test PRIVATE nimbrel_web nimbrel_history nimbrel_publish nimbrel_store GTest::gtest)
gtest_discover_tests(calibration_test DISCOVERY_TIMEOUT 30)
