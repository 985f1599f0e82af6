# Compiler flags and third-party libraries for the two platforms.
#   qm_zlib, qm_gcrypt: zlib and libgcrypt (static archives in the Windows build)
#   qm_curl:            libcurl (Linux only; Windows uses WinHTTP)
#   qm_warnings:        the project's warning flags

add_library(qm_warnings INTERFACE)
target_compile_options(qm_warnings INTERFACE -Wall -Wextra $<$<BOOL:${QUILLMARK_WERROR}>:-Werror>)

find_package(Threads REQUIRED)

if(WIN32)
  # A static, self-contained executable: no libgcc, libstdc++ or winpthread DLLs beside it.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  add_link_options(-static -static-libgcc -static-libstdc++)
  find_library(QM_ZLIB_A NAMES libz.a REQUIRED)
  find_library(QM_GCRYPT_A NAMES libgcrypt.a REQUIRED)
  find_library(QM_GPGERROR_A NAMES libgpg-error.a REQUIRED)
  add_library(qm_zlib INTERFACE)
  target_link_libraries(qm_zlib INTERFACE ${QM_ZLIB_A})
  add_library(qm_gcrypt INTERFACE)
  target_link_libraries(qm_gcrypt INTERFACE ${QM_GCRYPT_A} ${QM_GPGERROR_A} ws2_32)
else()
  find_package(ZLIB REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GCRYPT REQUIRED IMPORTED_TARGET libgcrypt)
  find_package(CURL REQUIRED)
  add_library(qm_zlib INTERFACE)
  target_link_libraries(qm_zlib INTERFACE ZLIB::ZLIB)
  add_library(qm_gcrypt INTERFACE)
  target_link_libraries(qm_gcrypt INTERFACE PkgConfig::GCRYPT)
  add_library(qm_curl INTERFACE)
  target_link_libraries(qm_curl INTERFACE CURL::libcurl)
endif()
