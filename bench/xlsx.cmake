add_executable(bench_xlsx ${CMAKE_CURRENT_LIST_DIR}/bench_xlsx.cpp)
target_link_libraries(bench_xlsx PRIVATE dalvera_xlsx benchmark::benchmark)
