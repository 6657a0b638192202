# The translation table and the language switch: the TSV form, the table
# file's failures, the type/kind rules, and both windows in all five
# languages (every text from the table, every text fitting its component).
add_executable(i18n_test ${CMAKE_CURRENT_LIST_DIR}/i18n_test.cpp)
target_link_libraries(i18n_test PRIVATE nimbrel_app nimbrel_test_support Qt6::Test)
set_target_properties(i18n_test PROPERTIES AUTOMOC ON)
target_compile_definitions(i18n_test PRIVATE LANG_TSV="${PROJECT_SOURCE_DIR}/data/lang.tsv"
  BUILT_LANG_TABLE="${CMAKE_BINARY_DIR}/lang")
add_dependencies(i18n_test lang_table)
add_test(NAME i18n_test COMMAND i18n_test)
set_tests_properties(i18n_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
