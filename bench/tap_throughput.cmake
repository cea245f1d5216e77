# The tap both ways at once, with the device on a pseudo-terminal or behind
# ser2net on loopback: a plain program that prints its figures.
if(NOT WIN32)
  add_executable(tap_throughput ${CMAKE_CURRENT_LIST_DIR}/tap_throughput.cpp)
  target_include_directories(tap_throughput PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(tap_throughput PRIVATE tarnwick_core)
endif()
