# What the store keeps so that nothing reads every row: the kept extremes
# against a full scan, a poll's append with and without keeping them, and
# the one-off upgrade of an older file, at a few days' and at ten years' size.
add_executable(history_aggregates_bench ${CMAKE_CURRENT_LIST_DIR}/history_aggregates_bench.cpp)
target_include_directories(history_aggregates_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(history_aggregates_bench PRIVATE nimbrel_store stationsim benchmark::benchmark Qt6::Core Qt6::Sql)
