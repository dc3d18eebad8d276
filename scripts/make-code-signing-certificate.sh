#!/usr/bin/env bash
# A throw-away code-signing certificate, valid two days, for signing the
# Windows programs of a test or release build:
#
#   scripts/make-code-signing-certificate.sh DIR
#
# writes DIR/code-signing.pem (the certificate) and DIR/code-signing.key (its
# private key, readable by its owner only).
set -euo pipefail
dir="${1:?usage: scripts/make-code-signing-certificate.sh DIR}"
mkdir -p "$dir"
(umask 077 && openssl req -x509 -newkey rsa:2048 -nodes -days 2 \
  -subj "/CN=Vendra Software Test Signer" -addext extendedKeyUsage=codeSigning \
  -keyout "$dir/code-signing.key" -out "$dir/code-signing.pem" 2>/dev/null)
