# Table sheets: a click on a table button that shows 100,000 x 10 rows, against
# the SQLite command-line shell dumping the same table.
add_executable(bench_tablesheet ${CMAKE_CURRENT_LIST_DIR}/bench_tablesheet.cpp)
target_link_libraries(bench_tablesheet PRIVATE dalvera_addin dalvera_jet benchmark::benchmark)
target_include_directories(bench_tablesheet PRIVATE ${PROJECT_SOURCE_DIR}/src)
