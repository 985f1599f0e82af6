#!/usr/bin/env bash
# Makes the certificates of the TLS tests in DIR: a test authority (ca.pem) that nothing but
# the tests trusts, and four server certificates with their keys (NAME.pem, NAME.key):
#   good       for localhost and 127.0.0.1, from the authority
#   selfsigned for localhost and 127.0.0.1, signed by itself
#   otherhost  for other.invalid only, from the authority
#   expired    for localhost and 127.0.0.1, from the authority, valid only in January 2020
# Usage: tls_certificates.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }
local_names="subjectAltName=DNS:localhost,IP:127.0.0.1"

key ca.key
openssl req -x509 -new -key ca.key -out ca.pem -days 2 -subj "/CN=Quillmark test TLS authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null

key selfsigned.key
openssl req -x509 -new -key selfsigned.key -out selfsigned.pem -days 2 -subj "/CN=localhost" \
  -addext "$local_names" 2>/dev/null

# The authority's certificates go through `openssl ca`, the one tool that takes any dates.
mkdir -p ca.db
: >ca.db/index.txt
printf '%s\n' "[ca]" "default_ca=test" "[test]" "database=ca.db/index.txt" \
  "new_certs_dir=ca.db" "serial=ca.db/serial" "default_md=sha256" "policy=any" \
  "unique_subject=no" "copy_extensions=none" "[any]" "commonName=supplied" >ca.cnf
echo 01 >ca.db/serial
issue() {  # NAME SUBJECT_ALT_NAMES DATES...
  local name=$1 names=$2
  shift 2
  key "$name.key"
  openssl req -new -key "$name.key" -out "$name.csr" -subj "/CN=$name" 2>/dev/null
  printf '%s\n' "basicConstraints=CA:FALSE" "extendedKeyUsage=serverAuth" "$names" >"$name.ext"
  openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in "$name.csr" -out "$name.pem" \
    -extfile "$name.ext" -notext "$@" 2>/dev/null
}
issue good "$local_names" -days 2
issue otherhost "subjectAltName=DNS:other.invalid" -days 2
issue expired "$local_names" -startdate 20200101000000Z -enddate 20200201000000Z
rm -rf ca.key ca.cnf ca.db ./*.csr ./*.ext
