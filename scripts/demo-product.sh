#!/usr/bin/env bash
# Writes the demo build of Tandory into a folder: its program, a welcome
# text and 6 MiB of assets (half of them incompressible, so the download
# takes long enough to show its progress).
#
#   scripts/demo-product.sh FOLDER VERSION
set -euo pipefail
folder="${1:?usage: scripts/demo-product.sh FOLDER VERSION}"
version="${2:?usage: scripts/demo-product.sh FOLDER VERSION}"
mkdir -p "$folder/data"
printf '#!/bin/sh\necho "Tandory %s is running"\n' "$version" > "$folder/Tandory.exe"
printf 'Welcome to Tandory %s.\n' "$version" > "$folder/data/welcome.txt"
{
  # (yes ends by a broken pipe, which would fail a pipeline under pipefail)
  head -c 3145728 < <(yes 'abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuv')
  head -c 3145728 /dev/urandom
} > "$folder/data/assets.bin"
