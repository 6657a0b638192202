# The history-backed part of a display refresh at a few days' and at ten
# years' size.
add_executable(display_refresh_bench ${CMAKE_CURRENT_LIST_DIR}/display_refresh_bench.cpp)
target_include_directories(display_refresh_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(display_refresh_bench PRIVATE nimbrel_display stationsim benchmark::benchmark Qt6::Core Qt6::Sql)
