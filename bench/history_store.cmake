# The history store at a few days' and at ten years' size.
add_executable(history_store_bench ${CMAKE_CURRENT_LIST_DIR}/history_store_bench.cpp)
target_include_directories(history_store_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(history_store_bench PRIVATE nimbrel_store stationsim benchmark::benchmark Qt6::Core Qt6::Sql)
