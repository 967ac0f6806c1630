# The setup timed from outside under Wine (bench/setup-start.sh, bench/install-big.sh): the
# driving program and the minimal window programs that the start-up is compared with, built
# with the setup's own flags (static, -mwindows, stripped).
add_executable(bench_minimal_window ${CMAKE_CURRENT_SOURCE_DIR}/minimal_window_win.cpp)
target_link_libraries(bench_minimal_window PRIVATE tv_options)
target_link_options(bench_minimal_window PRIVATE -mwindows $<$<NOT:$<CONFIG:Debug>>:-s>)
add_executable(bench_minimal_imports ${CMAKE_CURRENT_SOURCE_DIR}/minimal_window_win.cpp)
target_compile_definitions(bench_minimal_imports PRIVATE TV_SETUP_IMPORTS)
target_link_libraries(bench_minimal_imports PRIVATE tv_options comctl32 ole32 shell32 version advapi32 gdi32)
target_link_options(bench_minimal_imports PRIVATE -mwindows $<$<NOT:$<CONFIG:Debug>>:-s>)

add_executable(bench_setup_run ${CMAKE_CURRENT_SOURCE_DIR}/bench_setup_run_win.cpp)
target_link_libraries(bench_setup_run PRIVATE tv_driver tv_core psapi)
