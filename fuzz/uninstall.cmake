tv_add_fuzzer(uninstall DEPS tv_install tv_uninstaller)
