# The window's performance program (tests/perf/window_perf_win.cpp) draws the
# real sidebar, so it carries the image resources kalorix.exe has. Deferred:
# the perf programs are declared after the helpers.
cmake_language(DEFER CALL target_sources perf_window_perf_win PRIVATE ${CMAKE_SOURCE_DIR}/ui/resources.rc)
cmake_language(DEFER CALL target_sources perf_window_cpu_perf_win PRIVATE ${CMAKE_SOURCE_DIR}/ui/resources.rc)
