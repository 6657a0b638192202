# The pressure, temperature and wind panels' views (the wind chart reads a
# week of history) at a few days' and at ten years' history.
add_executable(display_panels_bench ${CMAKE_CURRENT_LIST_DIR}/display_panels_bench.cpp)
target_include_directories(display_panels_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(display_panels_bench PRIVATE nimbrel_display stationsim benchmark::benchmark Qt6::Core)
