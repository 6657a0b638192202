# The web interface: /api/history over ten years against one day, and the
# server under load (slowest request, memory).
add_executable(web_server_bench ${CMAKE_CURRENT_LIST_DIR}/web_server_bench.cpp)
target_include_directories(web_server_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(web_server_bench PRIVATE nimbrel_web stationsim Qt6::Network benchmark::benchmark)
