# The resource strings: one source file, turned into the Windows string table and
# the header with the symbols and their English texts.

set(TV_STRINGS_SOURCE ${PROJECT_SOURCE_DIR}/resources/strings.txt)
set(TV_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set(TV_STRINGS_HEADER ${TV_GENERATED_DIR}/resstrings.h)
set(TV_STRINGS_RC ${TV_GENERATED_DIR}/resstrings.rc)
set(TV_STRINGS_MAP ${TV_GENERATED_DIR}/resstrings.map)
file(MAKE_DIRECTORY ${TV_GENERATED_DIR})

# Texts that are build settings: ${NAME} in strings.txt. A test build can point the update
# check at a local server: -DTV_WEB_ADDRESS=127.0.0.1:8080.
set(TV_WEB_ADDRESS "www.tramvelon.example" CACHE STRING
  "The maker's web address (host or host:port, no scheme): the address label and the update check's server")
if(NOT TV_WEB_ADDRESS MATCHES "^[A-Za-z0-9.-]+(:[0-9]+)?$")
  message(FATAL_ERROR "TV_WEB_ADDRESS must be a host name or address with an optional :port, not '${TV_WEB_ADDRESS}'")
endif()

add_custom_command(
  OUTPUT ${TV_STRINGS_HEADER} ${TV_STRINGS_RC} ${TV_STRINGS_MAP}
  COMMAND ${TV_RESGEN} -DTV_WEB_ADDRESS=${TV_WEB_ADDRESS}
          ${TV_STRINGS_SOURCE} ${TV_STRINGS_HEADER} ${TV_STRINGS_RC} ${TV_STRINGS_MAP}
  DEPENDS ${TV_STRINGS_SOURCE} ${TV_RESGEN_DEPENDS} ${TV_RESGEN}
  COMMENT "Generating the resource strings"
  VERBATIM)
add_custom_target(tv_generated DEPENDS ${TV_STRINGS_HEADER} ${TV_STRINGS_RC})
