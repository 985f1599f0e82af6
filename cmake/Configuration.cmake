# Build-time configuration of the launcher: patch and site addresses, the publisher's
# Ed25519 public key and the launch ticket, turned into one generated header.

set(QUILLMARK_PATCH_URL "http://127.0.0.1:8080/patch/" CACHE STRING
    "Base address of the patch server (http:// or https://, ending in '/', normally in /patch/)")
set(QUILLMARK_SITE_URL "https://quillmark.example/" CACHE STRING "Root address of the game's web site")
set(QUILLMARK_PUBLIC_KEY "0000000000000000000000000000000000000000000000000000000000000000"
    CACHE STRING "Publisher's Ed25519 public key: 64 hex digits, or the path of a .pub file (relative paths start at the source folder)")
set(QUILLMARK_LAUNCH_TICKET "/launcher:quillmark" CACHE STRING "Argument the game client receives from the launcher")

# The key: 64 hex digits as given, or read from a .pub file (as quillmark-publish keygen writes it).
set(_key "${QUILLMARK_PUBLIC_KEY}")
if(NOT _key MATCHES "^[0-9a-fA-F]+$")
  set(_key_file "${_key}")
  if(NOT IS_ABSOLUTE "${_key_file}")
    set(_key_file "${PROJECT_SOURCE_DIR}/${_key_file}")
  endif()
  if(NOT EXISTS "${_key_file}" OR IS_DIRECTORY "${_key_file}")
    message(FATAL_ERROR "QUILLMARK_PUBLIC_KEY must be 64 hexadecimal digits or the path of a .pub file holding them; "
                        "'${QUILLMARK_PUBLIC_KEY}' is neither (no such file: ${_key_file})")
  endif()
  file(READ "${_key_file}" _key LIMIT 4096)
  string(STRIP "${_key}" _key)
  # A changed key file makes the next build configure again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_key_file}")
endif()
string(LENGTH "${_key}" _key_len)
if(NOT _key MATCHES "^[0-9a-fA-F]+$" OR NOT _key_len EQUAL 64)
  message(FATAL_ERROR "QUILLMARK_PUBLIC_KEY must be 64 hexadecimal digits or the path of a .pub file holding them; got '${QUILLMARK_PUBLIC_KEY}'")
endif()
string(TOLOWER "${_key}" _key)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," QUILLMARK_PUBLIC_KEY_BYTES "${_key}")

foreach(_url QUILLMARK_PATCH_URL QUILLMARK_SITE_URL)
  if(NOT ${_url} MATCHES "^https?://.+/$" OR ${_url} MATCHES "[ \t\r\n\"\\\\]")
    message(FATAL_ERROR "${_url} must be an http:// or https:// address ending in '/', without blanks, quotes or backslashes; got '${${_url}}'")
  endif()
endforeach()

# The values become C++ string literals: backslashes and double quotes are escaped, and line
# breaks (which no command-line argument can carry) are refused.
if(QUILLMARK_LAUNCH_TICKET MATCHES "[\r\n]")
  message(FATAL_ERROR "QUILLMARK_LAUNCH_TICKET must be one line; got '${QUILLMARK_LAUNCH_TICKET}'")
endif()
foreach(_var QUILLMARK_PATCH_URL QUILLMARK_SITE_URL QUILLMARK_LAUNCH_TICKET)
  string(REPLACE "\\" "\\\\" _text "${${_var}}")
  string(REPLACE "\"" "\\\"" _text "${_text}")
  set(${_var}_LITERAL "${_text}")
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/quillmark_config.h.in ${CMAKE_BINARY_DIR}/generated/quillmark_config.h @ONLY)
