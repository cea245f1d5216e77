# How long closing the program waits for a version check whose transfer hangs.
if(TARGET tarnwick_http AND NOT WIN32)
  add_executable(update_stop_bench ${CMAKE_CURRENT_LIST_DIR}/update_stop_bench.cpp)
  target_link_libraries(update_stop_bench PRIVATE tarnwick_http benchmark::benchmark)
endif()
