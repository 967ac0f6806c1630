tv_add_fuzzer(xml DEPS tv_xml)
tv_add_fuzzer(xml_preserve DEPS tv_xml)
