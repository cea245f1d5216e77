# Receive-path throughput of the screen model: formats, lines and the text log.
add_executable(screen_model_bench ${CMAKE_CURRENT_LIST_DIR}/screen_model_bench.cpp)
target_link_libraries(screen_model_bench PRIVATE tarnwick_core benchmark::benchmark)
