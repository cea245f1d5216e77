# The screen model with a long history: memory, Copy All, Clear and a frame's
# read of the rows in sight, at 1,000,000 lines.
add_executable(screen_history_bench ${CMAKE_CURRENT_LIST_DIR}/screen_history_bench.cpp)
target_link_libraries(screen_history_bench PRIVATE tarnwick_core)
