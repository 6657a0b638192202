# The climate summaries of nimbrel-tool report over a year of 5-minute records.
add_executable(climate_report_bench ${CMAKE_CURRENT_LIST_DIR}/climate_report_bench.cpp)
target_include_directories(climate_report_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(climate_report_bench PRIVATE nimbrel_store stationsim benchmark::benchmark Qt6::Core Qt6::Sql)
