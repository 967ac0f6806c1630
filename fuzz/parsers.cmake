tv_add_fuzzer(parsers DEPS tv_core)
