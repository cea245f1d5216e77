# Transmit rate of the port worker on a pseudo-terminal, or behind ser2net.
if(NOT WIN32)
  add_executable(send_throughput ${CMAKE_CURRENT_LIST_DIR}/send_throughput.cpp)
  target_include_directories(send_throughput PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(send_throughput PRIVATE tarnwick_core)
endif()
