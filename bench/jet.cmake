# The database engine: reading a large table into a client record set,
# against the SQLite command-line shell dumping the same table.
add_executable(bench_jet ${CMAKE_CURRENT_LIST_DIR}/bench_jet.cpp)
target_link_libraries(bench_jet PRIVATE dalvera_jet benchmark::benchmark)
target_include_directories(bench_jet PRIVATE ${PROJECT_SOURCE_DIR}/src)
