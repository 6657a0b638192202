add_executable(full_read_bench ${CMAKE_CURRENT_LIST_DIR}/full_read_bench.cpp)
target_link_libraries(full_read_bench PRIVATE nimbrel_test_support benchmark::benchmark)
