tv_add_benchmark(locale SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_locale.cpp DEPS tv_locale)
