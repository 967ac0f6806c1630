# Runs under Wine: scripts/wine-session build/windows ./wine-run bench/bench_language_switch.exe Z:$PWD/build/windows/demo/lang-Tram
add_executable(bench_language_switch ${CMAKE_CURRENT_SOURCE_DIR}/bench_language_switch_win.cpp)
target_link_libraries(bench_language_switch PRIVATE tv_setup)
target_link_options(bench_language_switch PRIVATE -mwindows)
tv_add_resources(bench_language_switch)
tv_add_forms(bench_language_switch)
add_dependencies(bench_language_switch tv_languages_Tram)
# The main window builds its catalogue from the program's own resources: the full demo
# setup's payload.
get_target_property(payload_rc Tram_payload TV_PAYLOAD_RC)
target_sources(bench_language_switch PRIVATE ${payload_rc})
add_dependencies(bench_language_switch Tram_payload)
