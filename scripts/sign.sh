#!/usr/bin/env bash
# Signs Windows executables with Authenticode (osslsigncode), so that Windows names the
# publisher instead of warning about an unknown program. Each file is replaced whole: signed
# into a temporary sibling, then moved over it. A file signed before is signed anew (its old
# signature is dropped first), so signing twice is harmless.
#
# Usage: scripts/sign.sh --cert FILE [--key FILE] [--pass-file FILE] [--timestamp URL]
#                        [--name TEXT] [--url URL] EXE...
#   --cert       the code-signing certificate and its chain (PEM or DER), or a PKCS#12 file
#                (.pfx or .p12) holding certificate, chain and key
#   --key        the certificate's private key (PEM or DER); not with a PKCS#12 file
#   --pass-file  a file whose first line is the password of the key or of the PKCS#12 file
#   --timestamp  an RFC 3161 time-stamping server: with it the signature stays valid after the
#                certificate expires (recommended for anything published)
#   --name, --url  the program's description and web address, shown in Windows' prompts
set -euo pipefail

usage() { sed -n 's/^# \{0,1\}//; 7,15p' "$0" >&2; exit 2; }

cert= key= pass_file= timestamp= name= url=
while [ $# -gt 0 ]; do
  case $1 in
    --cert) cert=${2:?}; shift 2 ;;
    --key) key=${2:?}; shift 2 ;;
    --pass-file) pass_file=${2:?}; shift 2 ;;
    --timestamp) timestamp=${2:?}; shift 2 ;;
    --name) name=${2:?}; shift 2 ;;
    --url) url=${2:?}; shift 2 ;;
    --help | -h) usage ;;
    --) shift; break ;;
    -*) echo "sign.sh: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ -n "$cert" ] && [ $# -gt 0 ] || usage
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (scripts/deps.sh installs it)" >&2; exit 1; }

signer=()
case ${cert,,} in
  *.pfx | *.p12)
    [ -z "$key" ] || { echo "sign.sh: --key goes with a certificate file, not with a PKCS#12 file" >&2; exit 2; }
    signer=(-pkcs12 "$cert") ;;
  *)
    [ -n "$key" ] || { echo "sign.sh: --key is needed with the certificate $cert" >&2; exit 2; }
    signer=(-certs "$cert" -key "$key") ;;
esac
[ -n "$pass_file" ] && signer+=(-readpass "$pass_file")
[ -n "$timestamp" ] && signer+=(-ts "$timestamp")
[ -n "$name" ] && signer+=(-n "$name")
[ -n "$url" ] && signer+=(-i "$url")

for exe in "$@"; do
  tmp=$exe.ap_tmp unsigned=$exe.unsigned.ap_tmp
  rm -f "$tmp" "$unsigned"
  source=$exe
  # remove-signature fails on a file without one; that file is signed as it is.
  if osslsigncode remove-signature -in "$exe" -out "$unsigned" >/dev/null 2>&1; then
    source=$unsigned
  fi
  if ! osslsigncode sign "${signer[@]}" -h sha256 -in "$source" -out "$tmp" >"$tmp.log" 2>&1; then
    echo "sign.sh: could not sign $exe:" >&2
    cat "$tmp.log" >&2
    rm -f "$tmp" "$tmp.log" "$unsigned"
    exit 1
  fi
  rm -f "$tmp.log" "$unsigned"
  chmod --reference="$exe" "$tmp"
  mv -f "$tmp" "$exe"
  echo "signed $exe"
done
