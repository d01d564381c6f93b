# Performance figures of the main window (not a test): one full paint pass of
# the Overview page into an off-screen target, and the working set while the
# window is shown and while it lives in the tray. Run it under Wine:
#   scripts/wine-run build/win/kalorix_window_perf.exe
add_executable(kalorix_window_perf ${CMAKE_SOURCE_DIR}/tests/win/perf/window_perf_win.cpp
    ${CMAKE_SOURCE_DIR}/ui/resources.rc)
target_link_libraries(kalorix_window_perf PRIVATE kalorix_win psapi)
target_link_options(kalorix_window_perf PRIVATE ${KALORIX_STATIC_LINK})
