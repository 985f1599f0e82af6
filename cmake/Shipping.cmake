# What players download, in the Windows build: Authenticode signing and the setup program.
#   QUILLMARK_SIGN_*                  the studio's code-signing certificate (cache variables);
#                                     without QUILLMARK_SIGN_CERT nothing is signed
#   qm_signing_tool(VAR NAME ...)     writes a script that signs the files it is given in place
#   qm_sign_executable(TARGET)        signs TARGET's file after each link, when signing is set up
#   qm_setup_program(NAME LAUNCHER T) NAME.exe, made by makensis from tools/setup/setup.nsi

set(QUILLMARK_SIGN_CERT "" CACHE FILEPATH
    "Authenticode: the code-signing certificate with its chain (PEM or DER), or a PKCS#12 file (.pfx, .p12) holding certificate and key (relative paths start at the source folder); empty: nothing is signed")
set(QUILLMARK_SIGN_KEY "" CACHE FILEPATH "Authenticode: the certificate's private key (PEM or DER); empty with a PKCS#12 file")
set(QUILLMARK_SIGN_PASS_FILE "" CACHE FILEPATH "Authenticode: a file holding the password of the key or PKCS#12 file (optional)")
set(QUILLMARK_SIGN_TIMESTAMP_URL "" CACHE STRING
    "Authenticode: an RFC 3161 time-stamping server, so that signatures outlive the certificate (recommended)")

# qm_signing_tool(VAR NAME CERT file [KEY file] [PASS_FILE file] [TIMESTAMP_URL url]): writes
# <build>/signing/NAME.sh, which runs scripts/sign.sh with these settings on its arguments, and
# sets VAR to its path. One script serves the post-link step and makensis alike.
function(qm_signing_tool var name)
  cmake_parse_arguments(A "" "CERT;KEY;PASS_FILE;TIMESTAMP_URL" "" ${ARGN})
  set(args --name Quillmark --url "${QUILLMARK_SITE_URL}")
  foreach(option CERT KEY PASS_FILE)
    if(A_${option})
      set(file "${A_${option}}")
      if(NOT IS_ABSOLUTE "${file}")
        set(file "${PROJECT_SOURCE_DIR}/${file}")
      endif()
      string(TOLOWER "${option}" flag)
      string(REPLACE "_" "-" flag "${flag}")
      list(APPEND args "--${flag}" "${file}")
    endif()
  endforeach()
  if(A_TIMESTAMP_URL)
    list(APPEND args --timestamp "${A_TIMESTAMP_URL}")
  endif()
  set(quoted "")
  foreach(arg IN LISTS args)
    if(arg MATCHES "'")
      message(FATAL_ERROR "Signing settings cannot hold a single quote: ${arg}")
    endif()
    string(APPEND quoted " '${arg}'")
  endforeach()
  set(tool "${CMAKE_BINARY_DIR}/signing/${name}.sh")
  file(CONFIGURE OUTPUT "${tool}" CONTENT
       "#!/usr/bin/env bash\n# Made by CMake (cmake/Shipping.cmake): signs the files it is given.\nexec bash '${PROJECT_SOURCE_DIR}/scripts/sign.sh'${quoted} \"$@\"\n")
  set(${var} "${tool}" PARENT_SCOPE)
endfunction()

if(WIN32 AND QUILLMARK_SIGN_CERT)
  qm_signing_tool(QM_SIGN_TOOL release CERT "${QUILLMARK_SIGN_CERT}" KEY "${QUILLMARK_SIGN_KEY}"
                  PASS_FILE "${QUILLMARK_SIGN_PASS_FILE}" TIMESTAMP_URL "${QUILLMARK_SIGN_TIMESTAMP_URL}")
endif()

function(qm_sign_executable target)
  if(QM_SIGN_TOOL)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND bash "${QM_SIGN_TOOL}" "$<TARGET_FILE:${target}>" VERBATIM)
  endif()
endfunction()

# qm_setup_program(NAME LAUNCHER target [SIGN_TOOL script] [DEPENDS file...]): builds NAME.exe in
# the current build folder around the launcher target's file, as it is (signed, when the
# launcher is: a setup must install the very bytes a release names, or the launcher would
# replace itself at its first start). With SIGN_TOOL the uninstaller and NAME.exe are signed.
function(qm_setup_program name)
  cmake_parse_arguments(A "" "LAUNCHER;SIGN_TOOL" "DEPENDS" ${ARGN})
  find_program(QM_MAKENSIS makensis REQUIRED)
  set(script "${PROJECT_SOURCE_DIR}/tools/setup/setup.nsi")
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${name}.exe")
  set(defines "-DLAUNCHER=$<TARGET_FILE:${A_LAUNCHER}>" "-DOUTFILE=${out}"
              "-DICON=${PROJECT_SOURCE_DIR}/resources/launcher.ico")
  if(A_SIGN_TOOL)
    list(APPEND defines "-DSIGN_TOOL=${A_SIGN_TOOL}")
  endif()
  add_custom_command(OUTPUT "${out}"
    COMMAND "${QM_MAKENSIS}" -V2 -WX -INPUTCHARSET UTF8 ${defines} "${script}"
    DEPENDS ${A_LAUNCHER} "${script}" "${PROJECT_SOURCE_DIR}/resources/launcher.ico"
            "${PROJECT_SOURCE_DIR}/scripts/sign.sh" ${A_SIGN_TOOL} ${A_DEPENDS}
    COMMENT "makensis: ${name}.exe" VERBATIM)
  add_custom_target(${name} ALL DEPENDS "${out}")
endfunction()
