# The history window at a few days' and at ten years' size.
add_executable(history_window_bench ${CMAKE_CURRENT_LIST_DIR}/history_window_bench.cpp)
target_include_directories(history_window_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(history_window_bench PRIVATE nimbrel_app stationsim benchmark::benchmark)
