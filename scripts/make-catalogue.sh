#!/usr/bin/env bash
# Fills a service root with the Tandory catalogue: the build list with a
# "live" version, that build's files, and the package manager (VendraBuild)
# as the "vendrabuild" utility.
#
#   scripts/make-catalogue.sh SERVICE_ROOT [VERSION] [BUILD_DIR]
#
# BUILD_DIR is the CMake build folder that holds (or gets) the programs
# VendraBuild and vendra-catalogue; it defaults to build/default.
set -euo pipefail
cd "$(dirname "$0")/.."
root="${1:?usage: scripts/make-catalogue.sh SERVICE_ROOT [VERSION] [BUILD_DIR]}"
version="${2:-1.0.0}"
build="${3:-build/default}"

cmake --build "$build" --target VendraBuild vendra-catalogue >/dev/null
mkdir -p "$root"
"$build/packagemanager/vendra-catalogue" "$root" "$build/packagemanager/VendraBuild" "$version"
