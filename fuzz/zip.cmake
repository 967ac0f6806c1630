tv_add_fuzzer(zipdir DEPS tv_install)
tv_add_fuzzer(zipentry DEPS tv_install)
