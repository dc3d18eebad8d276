#!/bin/sh
# Copies a program and changes one byte in its middle, well inside what a
# signature covers, for the checks that an altered program is refused:
#
#   scripts/alter-program.sh PROGRAM COPY
set -eu
cp "$1" "$2.tmp"
offset=$(($(wc -c <"$2.tmp") / 2))
byte=$(od -An -tu1 -j "$offset" -N 1 "$2.tmp" | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" |
  dd of="$2.tmp" bs=1 seek="$offset" conv=notrunc 2>/dev/null
mv "$2.tmp" "$2"
