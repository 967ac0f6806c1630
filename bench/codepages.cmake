tv_add_benchmark(codepages SOURCES ${CMAKE_CURRENT_LIST_DIR}/codepages_bench.cpp DEPS tv_core)
