# Compiler flags and third-party libraries for the two platforms.
#   qm_zlib, qm_gcrypt: zlib and libgcrypt (static archives in the Windows build)
#   qm_libdeflate:      libdeflate's whole-buffer inflate (in the Windows build compiled from
#                       Debian's source package, which scripts/deps.sh puts in third_party/)
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
  # Debian has no mingw build of libdeflate: its decompression sources, as its Makefile lists
  # them, with its own flags.
  set(QM_LIBDEFLATE_DIR ${PROJECT_SOURCE_DIR}/third_party/libdeflate)
  if(NOT EXISTS ${QM_LIBDEFLATE_DIR}/libdeflate.h)
    message(FATAL_ERROR "libdeflate's source is missing in ${QM_LIBDEFLATE_DIR}: run scripts/deps.sh")
  endif()
  add_library(qm_libdeflate STATIC
    ${QM_LIBDEFLATE_DIR}/lib/deflate_decompress.c
    ${QM_LIBDEFLATE_DIR}/lib/zlib_decompress.c
    ${QM_LIBDEFLATE_DIR}/lib/adler32.c
    ${QM_LIBDEFLATE_DIR}/lib/utils.c
    ${QM_LIBDEFLATE_DIR}/lib/x86/cpu_features.c)
  set_target_properties(qm_libdeflate PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
  target_compile_options(qm_libdeflate PRIVATE -O2 -fomit-frame-pointer)
  target_compile_definitions(qm_libdeflate PRIVATE _ANSI_SOURCE)
  target_include_directories(qm_libdeflate SYSTEM PUBLIC ${QM_LIBDEFLATE_DIR})
else()
  find_package(ZLIB REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GCRYPT REQUIRED IMPORTED_TARGET libgcrypt)
  find_package(CURL REQUIRED)
  add_library(qm_zlib INTERFACE)
  target_link_libraries(qm_zlib INTERFACE ZLIB::ZLIB)
  add_library(qm_gcrypt INTERFACE)
  target_link_libraries(qm_gcrypt INTERFACE PkgConfig::GCRYPT)
  pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
  add_library(qm_libdeflate INTERFACE)
  target_link_libraries(qm_libdeflate INTERFACE PkgConfig::LIBDEFLATE)
  add_library(qm_curl INTERFACE)
  target_link_libraries(qm_curl INTERFACE CURL::libcurl)
endif()
