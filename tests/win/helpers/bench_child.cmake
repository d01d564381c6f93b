# A stand-in for kalorix.exe in benchmark-child mode: the Windows benchmark
# tests use it only while kalorix.exe itself does not yet answer "--bench".
add_executable(kalorix_bench_child WIN32 ${CMAKE_SOURCE_DIR}/tests/win/helpers/bench_child_main.cpp)
target_link_libraries(kalorix_bench_child PRIVATE kalorix_win)
target_link_options(kalorix_bench_child PRIVATE ${KALORIX_STATIC_LINK} -municode)
add_dependencies(kalorix_win_tests kalorix_bench_child kalorix)
