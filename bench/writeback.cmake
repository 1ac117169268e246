# Write-back: F7 on 10,000 edited rows of a table sheet, and the reload it ends with.
add_executable(bench_writeback ${CMAKE_CURRENT_LIST_DIR}/bench_writeback.cpp)
target_link_libraries(bench_writeback PRIVATE dalvera_addin dalvera_jet benchmark::benchmark)
target_include_directories(bench_writeback PRIVATE ${PROJECT_SOURCE_DIR}/src)
