tv_add_fuzzer(po DEPS tv_locale)
