# MS Access files: opening one to its menus and converting it, against
# mdb-export writing every table of the same file as CSV.
set(DALVERA_ACCESS_TESTDATA "${PROJECT_SOURCE_DIR}/../shared/testdata/access" CACHE PATH "Folder of the MS Access test files")
add_executable(bench_access ${CMAKE_CURRENT_LIST_DIR}/bench_access.cpp)
target_link_libraries(bench_access PRIVATE dalvera_addin dalvera_jet benchmark::benchmark)
target_include_directories(bench_access PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(bench_access PRIVATE DALVERA_ACCESS_TESTDATA="${DALVERA_ACCESS_TESTDATA}")
