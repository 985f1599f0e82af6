#!/usr/bin/env bash
# Makes a throw-away code-signing certificate for the tests: a certificate authority and a
# signer it certifies, valid for DAYS, never trusted by anything but the test that passes
# ca.pem to `osslsigncode verify -CAfile`. Writes ca.pem, signer.pem and signer.key in DIR.
# Usage: test_certificate.sh DIR DAYS
set -euo pipefail
dir=$1 days=$2
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days "$days" \
  -subj "/CN=Quillmark test signing authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=Quillmark test publisher" 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days "$days" \
  -extfile signer.ext -out signer.pem 2>/dev/null
rm -f ca.key ca.srl signer.csr signer.ext
