# The web interface over real HTTP on loopback: every endpoint, the refused
# requests, server-sent events, a bounded load, and the page rendered by
# headless Chromium over the DevTools protocol (skipped where Chromium is
# missing).
add_executable(web_test
  ${CMAKE_CURRENT_LIST_DIR}/web_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_include_directories(web_test PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
find_package(Qt6 REQUIRED COMPONENTS WebSockets)
target_link_libraries(web_test PRIVATE nimbrel_web stationsim Qt6::Network Qt6::WebSockets GTest::gtest)
target_compile_definitions(web_test PRIVATE NIMBREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
gtest_discover_tests(web_test TEST_PREFIX "web." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 300)
