# CWOP over APRS-IS: the weather report of each kind of record, the send
# schedule, the [cwop] section, and the exchange against an APRS-IS server
# of the test's own on loopback.
add_executable(cwop_test
  ${CMAKE_CURRENT_LIST_DIR}/cwop_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(cwop_test PRIVATE nimbrel_publish Qt6::Network GTest::gtest)
gtest_discover_tests(cwop_test TEST_PREFIX "cwop." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
# The same exchange on a computer east and one west of UTC: the history's
# local dates against the staleness limit.
foreach(zone Asia/Kolkata America/Argentina/Buenos_Aires)
  string(REPLACE "/" "_" zone_name ${zone})
  add_test(NAME cwop.tz_${zone_name} COMMAND cwop_test --gtest_filter=Cwop.TheNewestRecord*)
  set_tests_properties(cwop.tz_${zone_name} PROPERTIES ENVIRONMENT "TZ=${zone};QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endforeach()
