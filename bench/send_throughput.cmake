# Transmit rate of the port worker on a pseudo-terminal.
if(NOT WIN32)
  add_executable(send_throughput ${CMAKE_CURRENT_LIST_DIR}/send_throughput.cpp)
  target_link_libraries(send_throughput PRIVATE tarnwick_core)
endif()
