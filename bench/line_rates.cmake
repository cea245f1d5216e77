# The configuration the whole-program line-rate benchmark runs with
# (bench/line_rates.sh).
if(NOT WIN32)
  add_executable(line_rates_config ${CMAKE_CURRENT_LIST_DIR}/line_rates_config.cpp)
  target_link_libraries(line_rates_config PRIVATE tarnwick_core)
endif()
