# The server variant: showing 100,000 x 10 rows from a private PostgreSQL against
# psql \copy of the same rows, and F7 of 10,000 edited rows.
add_executable(bench_server ${CMAKE_CURRENT_LIST_DIR}/bench_server.cpp)
target_link_libraries(bench_server PRIVATE dalvera_addin dalvera_odbc benchmark::benchmark)
target_include_directories(bench_server PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(bench_server PRIVATE DALVERA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  DALVERA_BENCH_STATE="${PROJECT_BINARY_DIR}/pgbench")
