# XML load and save next to libxml2 and pugixml on the same generated files.
find_package(LibXml2 REQUIRED)
find_package(pugixml REQUIRED)
tv_add_benchmark(xml SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xml_bench.cpp DEPS tv_xml LibXml2::LibXml2 pugixml::pugixml)
