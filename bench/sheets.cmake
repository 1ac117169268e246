add_executable(bench_sheets ${CMAKE_CURRENT_LIST_DIR}/bench_sheets.cpp)
target_link_libraries(bench_sheets PRIVATE dalvera_sheets dalvera_xlsx benchmark::benchmark)
