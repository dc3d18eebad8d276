#!/usr/bin/env bash
# A throw-away certificate authority and a server certificate for localhost
# (and 127.0.0.1), valid two days, for running the service stand-in:
#
#   scripts/make-certificates.sh DIR
#
# writes DIR/ca.pem (the CA to trust: VENDRA_CA_FILE), DIR/server.pem and
# DIR/server.key (the service's --tls-cert and --tls-key).
set -euo pipefail
dir="${1:?usage: scripts/make-certificates.sh DIR}"
mkdir -p "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vendra Test CA" \
  -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
  -keyout "$dir/server.key" -out "$dir/server.csr" 2>/dev/null
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >"$dir/san.ext"
openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
  -CAcreateserial -days 2 -extfile "$dir/san.ext" -out "$dir/server.pem" 2>/dev/null
