# The frames layer on a Modbus RTU flood: cutting, checking, pairing and
# storing a million frames, their memory, and what a pane's read costs.
add_executable(frames_bench ${CMAKE_CURRENT_LIST_DIR}/frames_bench.cpp)
target_link_libraries(frames_bench PRIVATE tarnwick_core)
