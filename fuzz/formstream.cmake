tv_add_fuzzer(formstream DEPS tv_ui)
