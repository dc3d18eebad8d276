#!/usr/bin/env bash
# Installs the Debian packages the Linux build, its tests and benchmarks need.
# Idempotent and non-interactive: nothing is done when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git clang ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libssl-dev openssl curl libcurl4-openssl-dev libsodium-dev
  libcpp-httplib-dev nlohmann-json3-dev rapidjson-dev
  osslsigncode python3 doxygen
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
