tv_add_fuzzer(http DEPS tv_net)
