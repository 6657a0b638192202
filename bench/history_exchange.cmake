# Ten years of five-minute records exported (CSV, weewx archive) and imported.
add_executable(history_exchange_bench ${CMAKE_CURRENT_LIST_DIR}/history_exchange_bench.cpp)
target_include_directories(history_exchange_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(history_exchange_bench PRIVATE nimbrel_store stationsim benchmark::benchmark Qt6::Core Qt6::Sql)
