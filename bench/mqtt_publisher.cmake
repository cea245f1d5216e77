# What publishing costs the port worker: the screen model's receive path with
# and without the MQTT publisher as its observer.
if(TARGET tarnwick_mqtt)
  add_executable(mqtt_publisher_bench ${CMAKE_CURRENT_LIST_DIR}/mqtt_publisher_bench.cpp)
  target_link_libraries(mqtt_publisher_bench PRIVATE tarnwick_mqtt benchmark::benchmark)
endif()
