# The display of the current conditions, at a few days' and at ten years'
# history: the engine's reads per record, the main window's whole refresh
# (offscreen) and the start-up until the first refresh.
add_executable(refresh_display_bench ${CMAKE_CURRENT_LIST_DIR}/refresh_display_bench.cpp)
target_include_directories(refresh_display_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool)
target_link_libraries(refresh_display_bench PRIVATE nimbrel_app nimbrel_test_support benchmark::benchmark)
