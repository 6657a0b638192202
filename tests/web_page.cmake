# The web page in headless Chromium for every rain and pressure unit, the
# page without its chart library, and channels without a sensor in the JSON
# interface (the browser tests skip where Chromium is missing).
add_executable(web_page_test
  ${CMAKE_CURRENT_LIST_DIR}/web_page_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
find_package(Qt6 REQUIRED COMPONENTS WebSockets)
target_include_directories(web_page_test PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(web_page_test PRIVATE nimbrel_web stationsim Qt6::Network Qt6::WebSockets GTest::gtest)
gtest_discover_tests(web_page_test TEST_PREFIX "web_page." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 300)
