# The resource strings: one source file, turned into the Windows string table and
# the header with the symbols and their English texts.

set(TV_STRINGS_SOURCE ${PROJECT_SOURCE_DIR}/resources/strings.txt)
set(TV_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set(TV_STRINGS_HEADER ${TV_GENERATED_DIR}/resstrings.h)
set(TV_STRINGS_RC ${TV_GENERATED_DIR}/resstrings.rc)
set(TV_STRINGS_MAP ${TV_GENERATED_DIR}/resstrings.map)
file(MAKE_DIRECTORY ${TV_GENERATED_DIR})

add_custom_command(
  OUTPUT ${TV_STRINGS_HEADER} ${TV_STRINGS_RC} ${TV_STRINGS_MAP}
  COMMAND ${TV_RESGEN} ${TV_STRINGS_SOURCE} ${TV_STRINGS_HEADER} ${TV_STRINGS_RC} ${TV_STRINGS_MAP}
  DEPENDS ${TV_STRINGS_SOURCE} ${TV_RESGEN_DEPENDS} ${TV_RESGEN}
  COMMENT "Generating the resource strings"
  VERBATIM)
add_custom_target(tv_generated DEPENDS ${TV_STRINGS_HEADER} ${TV_STRINGS_RC})
