#!/bin/sh
# Signs a program with a throw-away certificate and makes a copy altered after
# signing: sign_sample.sh PROGRAM OUTPUT_FOLDER
set -eu
program=$1
out=$2
scripts=$(cd "$(dirname "$0")/../../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$scripts/make-code-signing-certificate.sh" "$work"
rm -f "$out/signature_sample_signed.exe" "$out/signature_sample_altered.exe"
osslsigncode sign -certs "$work/code-signing.pem" -key "$work/code-signing.key" -h sha256 \
  -in "$program" -out "$out/signature_sample_signed.exe" >/dev/null
"$scripts/alter-program.sh" "$out/signature_sample_signed.exe" "$out/signature_sample_altered.exe"
