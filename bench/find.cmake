# Find over a full scrollback: 1,000,000 lines searched from scratch.
add_executable(find_bench ${CMAKE_CURRENT_LIST_DIR}/find_bench.cpp)
target_link_libraries(find_bench PRIVATE tarnwick_core benchmark::benchmark)
