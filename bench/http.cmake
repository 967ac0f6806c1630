tv_add_benchmark(http SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_http.cpp DEPS tv_net)
