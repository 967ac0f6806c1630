tv_add_benchmark(zip SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/zip_bench.cpp DEPS tv_install)
