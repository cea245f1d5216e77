# The tap both ways at once on pseudo-terminals: a plain program that prints
# its figures.
if(NOT WIN32)
  add_executable(tap_throughput ${CMAKE_CURRENT_LIST_DIR}/tap_throughput.cpp)
  target_link_libraries(tap_throughput PRIVATE tarnwick_core)
endif()
