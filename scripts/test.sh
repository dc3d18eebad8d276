#!/usr/bin/env bash
# The test command: installs what is missing, configures, builds and runs
# every test of one preset (default: "default"; also "asan", "tsan").
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

./scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
