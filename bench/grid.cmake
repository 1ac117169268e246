# The Qt grid over a million-row table sheet: painting, Ctrl+End, memory.
if(TARGET dalvera_gui_app)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(bench_grid ${CMAKE_CURRENT_LIST_DIR}/bench_grid.cpp)
  target_link_libraries(bench_grid PRIVATE dalvera_gui_app dalvera_jet benchmark::benchmark Qt6::Test)
  target_include_directories(bench_grid PRIVATE ${PROJECT_SOURCE_DIR}/src)
endif()
