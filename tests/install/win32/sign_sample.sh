#!/bin/sh
# Signs a program with a throw-away certificate and makes a copy altered after
# signing: sign_sample.sh PROGRAM OUTPUT_FOLDER
set -eu
program=$1
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -days 2 -subj "/CN=Vendra Test Signer" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1
rm -f "$out/signature_sample_signed.exe" "$out/signature_sample_altered.exe"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -h sha256 \
  -in "$program" -out "$out/signature_sample_signed.exe" >/dev/null
# One byte in the middle of the program, well inside what the signature covers.
cp "$out/signature_sample_signed.exe" "$work/altered.exe"
offset=$(($(wc -c <"$work/altered.exe") / 2))
byte=$(od -An -tu1 -j "$offset" -N 1 "$work/altered.exe" | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" |
  dd of="$work/altered.exe" bs=1 seek="$offset" conv=notrunc 2>/dev/null
mv "$work/altered.exe" "$out/signature_sample_altered.exe"
