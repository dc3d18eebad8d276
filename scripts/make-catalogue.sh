#!/usr/bin/env bash
# Fills a service root with the Tandory catalogue: the demo build (by
# scripts/demo-product.sh) published as the "live" version of "tdy" and
# named by the build list "TDY-UPLINK" the installer reads, and the package
# manager (VendraBuild) as the "vendrabuild" utility. Both go through
# vendra-catalogue, the tool a release engineer uses. The build and the
# build list are signed with a throw-away publisher key kept beside the
# service root (SERVICE_ROOT.publisher-key, made on first use), and
# SERVICE_ROOT.vendrabuild-config.json pins the package manager to it and
# names "TDY-UPLINK" as the build list of "tdy": point VENDRA_BUILD_CONFIG at
# that file. The list's signature lasts a week; a root kept longer needs
#   vendra-catalogue sign-list --root SERVICE_ROOT --key SERVICE_ROOT.publisher-key
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
catalogue="$build/packagemanager/vendra-catalogue"
key="${root%/}.publisher-key"
if [ ! -f "$key" ]; then
  public_key="$("$catalogue" keygen "$key" | sed -n 's/^public_key //p')"
  printf '{"publisher_keys": ["%s"], "build_lists": {"tdy": "TDY-UPLINK"}}\n' "$public_key" \
    > "${root%/}.vendrabuild-config.json"
fi
product="$(mktemp -d /tmp/tandory-product-XXXXXX)"
trap 'rm -rf "$product"' EXIT
./scripts/demo-product.sh "$product" "$version"
"$catalogue" publish --key "$key" --root "$root" --product tdy --branch live \
  --version "$version" --build-list TDY-UPLINK "$product"
"$catalogue" utility --root "$root" --name vendrabuild "$build/packagemanager/VendraBuild"
