tv_add_fuzzer(locale_id DEPS tv_locale)
