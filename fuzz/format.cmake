tv_add_fuzzer(format DEPS tv_core)
