# Result sheets: a typed SELECT of 100,000 x 10 rows run through "Execute SQL
# statement" until its sheet is shown, against the SQLite shell dumping the same rows.
add_executable(bench_resultsheet ${CMAKE_CURRENT_LIST_DIR}/bench_resultsheet.cpp)
target_link_libraries(bench_resultsheet PRIVATE dalvera_addin dalvera_jet benchmark::benchmark)
target_include_directories(bench_resultsheet PRIVATE ${PROJECT_SOURCE_DIR}/src)
