tv_add_benchmark(textfile SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/textfile_bench.cpp DEPS tv_core)
