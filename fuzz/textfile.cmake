tv_add_fuzzer(textfile DEPS tv_core)
