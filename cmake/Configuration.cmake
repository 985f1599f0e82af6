# Build-time configuration of the launcher: patch and site addresses, the publisher's
# Ed25519 public key and the launch ticket, turned into one generated header.

set(QUILLMARK_PATCH_URL "http://127.0.0.1:8080/patch/" CACHE STRING "Base address of the patch server (ends in /patch/)")
set(QUILLMARK_SITE_URL "https://quillmark.example/" CACHE STRING "Root address of the game's web site")
set(QUILLMARK_PUBLIC_KEY "0000000000000000000000000000000000000000000000000000000000000000"
    CACHE STRING "Publisher's Ed25519 public key: 64 hex digits, or the path of a .pub file")
set(QUILLMARK_LAUNCH_TICKET "/launcher:quillmark" CACHE STRING "Argument the game client receives from the launcher")

set(_key "${QUILLMARK_PUBLIC_KEY}")
if(NOT _key MATCHES "^[0-9a-fA-F]+$" AND EXISTS "${_key}")
  file(READ "${_key}" _key)
  string(STRIP "${_key}" _key)
endif()
string(LENGTH "${_key}" _key_len)
if(NOT _key MATCHES "^[0-9a-fA-F]+$" OR NOT _key_len EQUAL 64)
  message(FATAL_ERROR "QUILLMARK_PUBLIC_KEY must be 64 hexadecimal digits or the path of a .pub file holding them; got '${QUILLMARK_PUBLIC_KEY}'")
endif()
string(TOLOWER "${_key}" _key)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," QUILLMARK_PUBLIC_KEY_BYTES "${_key}")

foreach(_url QUILLMARK_PATCH_URL QUILLMARK_SITE_URL)
  if(NOT ${_url} MATCHES "^https?://.+/$")
    message(FATAL_ERROR "${_url} must be an http:// or https:// address ending in '/'; got '${${_url}}'")
  endif()
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/quillmark_config.h.in ${CMAKE_BINARY_DIR}/generated/quillmark_config.h @ONLY)
