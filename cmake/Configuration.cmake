# Build-time configuration of the launcher: patch and site addresses, the publisher's
# Ed25519 public keys and the launch ticket, turned into one generated header.

set(QUILLMARK_PATCH_URL "http://127.0.0.1:8080/patch/" CACHE STRING
    "Base addresses of the patch servers, up to four separated by ';' and tried in that order (http:// or https://, each ending in '/', normally in /patch/)")
set(QUILLMARK_SITE_URL "https://quillmark.example/" CACHE STRING "Root address of the game's web site")
set(QUILLMARK_PUBLIC_KEY "0000000000000000000000000000000000000000000000000000000000000000"
    CACHE STRING "Publisher's Ed25519 public keys, up to four separated by ';' or ',': each 64 hex digits or the path of a .pub file (relative paths start at the source folder); a manifest signed by any of them is accepted")
set(QUILLMARK_LAUNCH_TICKET "/launcher:quillmark" CACHE STRING "Argument the game client receives from the launcher")

set(_max_entries 4)

# The keys: each 64 hex digits as given, or read from a .pub file (as quillmark-publish keygen
# writes it). The all-zero key alone means that none is configured: the launcher then refuses
# to update. Inside a list it is a mistake.
string(REPLACE "," ";" _keys "${QUILLMARK_PUBLIC_KEY}")
list(LENGTH _keys _key_count)
if(_key_count EQUAL 0 OR _key_count GREATER _max_entries)
  message(FATAL_ERROR "QUILLMARK_PUBLIC_KEY must hold one to four keys; got '${QUILLMARK_PUBLIC_KEY}'")
endif()
set(QUILLMARK_PUBLIC_KEY_ROWS "")
set(QUILLMARK_PUBLIC_KEY_COUNT 0)
set(_seen_keys "")
foreach(_entry IN LISTS _keys)
  string(STRIP "${_entry}" _key)
  if(NOT _key MATCHES "^[0-9a-fA-F]+$")
    set(_key_file "${_key}")
    if(NOT IS_ABSOLUTE "${_key_file}")
      set(_key_file "${PROJECT_SOURCE_DIR}/${_key_file}")
    endif()
    if(NOT EXISTS "${_key_file}" OR IS_DIRECTORY "${_key_file}")
      message(FATAL_ERROR "QUILLMARK_PUBLIC_KEY: each key must be 64 hexadecimal digits or the path of a .pub file holding them; "
                          "'${_entry}' is neither (no such file: ${_key_file})")
    endif()
    file(READ "${_key_file}" _key LIMIT 4096)
    string(STRIP "${_key}" _key)
    # A changed key file makes the next build configure again.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_key_file}")
  endif()
  string(LENGTH "${_key}" _key_len)
  if(NOT _key MATCHES "^[0-9a-fA-F]+$" OR NOT _key_len EQUAL 64)
    message(FATAL_ERROR "QUILLMARK_PUBLIC_KEY: each key must be 64 hexadecimal digits or the path of a .pub file holding them; got '${_entry}'")
  endif()
  string(TOLOWER "${_key}" _key)
  if(_key MATCHES "^0+$")
    if(_key_count GREATER 1)
      message(FATAL_ERROR "QUILLMARK_PUBLIC_KEY: the all-zero key means 'no key' and cannot be one of several")
    endif()
    continue()
  endif()
  if(_key IN_LIST _seen_keys)
    message(FATAL_ERROR "QUILLMARK_PUBLIC_KEY names the key ${_key} twice")
  endif()
  list(APPEND _seen_keys "${_key}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_key}")
  string(APPEND QUILLMARK_PUBLIC_KEY_ROWS "    {${_bytes}},\n")
  math(EXPR QUILLMARK_PUBLIC_KEY_COUNT "${QUILLMARK_PUBLIC_KEY_COUNT} + 1")
endforeach()

# The patch servers, in the order the launcher tries them.
list(LENGTH QUILLMARK_PATCH_URL _url_count)
if(_url_count EQUAL 0 OR _url_count GREATER _max_entries)
  message(FATAL_ERROR "QUILLMARK_PATCH_URL must hold one to four addresses separated by ';'; got '${QUILLMARK_PATCH_URL}'")
endif()
set(QUILLMARK_PATCH_URL_ROWS "")
foreach(_url IN LISTS QUILLMARK_PATCH_URL)
  if(NOT _url MATCHES "^https?://.+/$" OR _url MATCHES "[ \t\r\n\"\\\\]")
    message(FATAL_ERROR "QUILLMARK_PATCH_URL: each address must be http:// or https:// and end in '/', without blanks, quotes or backslashes; got '${_url}'")
  endif()
  string(APPEND QUILLMARK_PATCH_URL_ROWS "    L\"${_url}\",\n")
endforeach()
if(NOT QUILLMARK_SITE_URL MATCHES "^https?://.+/$" OR QUILLMARK_SITE_URL MATCHES "[ \t\r\n\"\\\\]")
  message(FATAL_ERROR "QUILLMARK_SITE_URL must be an http:// or https:// address ending in '/', without blanks, quotes or backslashes; got '${QUILLMARK_SITE_URL}'")
endif()

# The values become C++ string literals: backslashes and double quotes are escaped, and line
# breaks (which no command-line argument can carry) are refused.
if(QUILLMARK_LAUNCH_TICKET MATCHES "[\r\n]")
  message(FATAL_ERROR "QUILLMARK_LAUNCH_TICKET must be one line; got '${QUILLMARK_LAUNCH_TICKET}'")
endif()
foreach(_var QUILLMARK_SITE_URL QUILLMARK_LAUNCH_TICKET)
  string(REPLACE "\\" "\\\\" _text "${${_var}}")
  string(REPLACE "\"" "\\\"" _text "${_text}")
  set(${_var}_LITERAL "${_text}")
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/quillmark_config.h.in ${CMAKE_BINARY_DIR}/generated/quillmark_config.h @ONLY)
