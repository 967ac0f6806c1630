# Test payload archives, built with zip, 7z and Python's zipfile; the Windows test
# executable carries them as TRAMVELON resources, the native one reads the files.
set(payload_dir ${CMAKE_CURRENT_BINARY_DIR}/payload)
set(payload_zips plain nested encrypted aes damaged evil)
list(TRANSFORM payload_zips PREPEND ${payload_dir}/)
list(TRANSFORM payload_zips APPEND .zip)
add_custom_command(
  OUTPUT ${payload_zips} ${payload_dir}/payload.rc ${payload_dir}/payload_password.h
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/make_payload.py ${payload_dir}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make_payload.py
  COMMENT "Building the test payload archives"
  VERBATIM)
add_custom_target(tv_test_payload DEPENDS ${payload_zips} ${payload_dir}/payload.rc ${payload_dir}/payload_password.h)
add_dependencies(test_install tv_test_payload)
target_compile_definitions(test_install PRIVATE TV_TEST_PAYLOAD_DIR="${payload_dir}")
target_include_directories(test_install PRIVATE ${payload_dir})
if(WIN32)
  target_sources(test_install PRIVATE ${payload_dir}/payload.rc)
  set_source_files_properties(${payload_dir}/payload.rc PROPERTIES GENERATED TRUE OBJECT_DEPENDS "${payload_zips}")
endif()
