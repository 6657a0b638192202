# A backup of ten years of history while records are appended.
add_executable(backup_bench ${CMAKE_CURRENT_LIST_DIR}/backup_bench.cpp)
target_include_directories(backup_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(backup_bench PRIVATE nimbrel_store stationsim benchmark::benchmark Qt6::Core Qt6::Sql)
