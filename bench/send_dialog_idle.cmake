# The Send data window's idle cost and its start of a large text.
if(TARNWICK_GUI AND NOT WIN32)
  add_executable(send_dialog_idle ${CMAKE_CURRENT_LIST_DIR}/send_dialog_idle.cpp)
  target_link_libraries(send_dialog_idle PRIVATE tarnwick_gui)
endif()
