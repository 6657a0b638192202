# A destination's catch-up of 10,000 stored records through its outbox into
# a real influxd and a real mosquitto: how long, and how late a 10 ms timer
# on the same thread runs meanwhile.
add_executable(destination_catchup_bench ${CMAKE_CURRENT_LIST_DIR}/destination_catchup_bench.cpp)
target_include_directories(destination_catchup_bench PRIVATE ${PROJECT_SOURCE_DIR}/tools/nimbrel-tool ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(destination_catchup_bench PRIVATE nimbrel_publish stationsim PkgConfig::MOSQUITTO
  Qt6::Network benchmark::benchmark)
