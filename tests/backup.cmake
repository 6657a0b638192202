# Backups of the data folder: the stepped copy beside a writer, nimbrel-tool
# backup and restore as a user runs them, the keeping of automatic backups,
# and a folder copied with its lock.
add_executable(backup_test
  ${CMAKE_CURRENT_LIST_DIR}/backup_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/QtTestMain.cpp)
target_link_libraries(backup_test PRIVATE nimbrel_engine nimbrel_store Qt6::Test GTest::gtest)
target_compile_definitions(backup_test PRIVATE NIMBREL_TOOL="$<TARGET_FILE:nimbrel-tool>")
add_dependencies(backup_test nimbrel-tool)
gtest_discover_tests(backup_test DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 300)
