# The sun-and-moon box's astronomy for one refresh.
add_executable(astro_bench ${CMAKE_CURRENT_LIST_DIR}/astro_bench.cpp)
target_link_libraries(astro_bench PRIVATE nimbrel_astro benchmark::benchmark)
