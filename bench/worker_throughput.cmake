# Port worker throughput on a pseudo-terminal: a plain program that prints its
# figures; bench/worker_throughput.sh runs it for 16 and 64 MiB.
if(NOT WIN32)
  add_executable(worker_throughput ${CMAKE_CURRENT_LIST_DIR}/worker_throughput.cpp)
  target_link_libraries(worker_throughput PRIVATE tarnwick_core)
endif()
