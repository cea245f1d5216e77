# The live-plot redraw cost of the two plotting libraries Debian offers for
# Qt 6, each built when its package is installed (bench/plot_library.sh).
if(TARNWICK_GUI)
  # QCustomPlot's package names Qt's print support without finding it.
  find_package(Qt6 QUIET COMPONENTS PrintSupport)
  find_package(QCustomPlotQt6 QUIET)
  if(TARGET QCustomPlotQt6::QCustomPlotQt6)
    add_executable(plot_library_qcustomplot plot_library_bench.cpp)
    target_compile_definitions(plot_library_qcustomplot PRIVATE PLOT_WITH_QCUSTOMPLOT)
    target_link_libraries(plot_library_qcustomplot PRIVATE QCustomPlotQt6::QCustomPlotQt6 Qt6::Widgets)
  endif()
  find_package(Qt6 QUIET COMPONENTS Charts)
  if(TARGET Qt6::Charts)
    add_executable(plot_library_qtcharts plot_library_bench.cpp)
    target_compile_definitions(plot_library_qtcharts PRIVATE PLOT_WITH_QTCHARTS)
    target_link_libraries(plot_library_qtcharts PRIVATE Qt6::Charts Qt6::Widgets)
  endif()
endif()
