#!/usr/bin/env bash
# Fills a service root with the Tandory catalogue: the demo build (by
# scripts/demo-product.sh) published as the "live" version of "tdy" and
# named by the build list "TDY-UPLINK" the installer reads, and the package
# manager (VendraBuild) as the "vendrabuild" utility. Both go through
# vendra-catalogue, the tool a release engineer uses. The build, the build
# list and the utility's manifest are signed with the publisher key the
# build's installer is pinned to: the private half of BUILD_DIR's throw-away
# key (throwaway-publisher-key/publisher.key, made when the build is
# configured), or the file VENDRA_PUBLISHER_KEY names for a build configured
# with a key of its own. SERVICE_ROOT.vendrabuild-config.json pins the
# package manager to the same key and names "TDY-UPLINK" as the build list of
# "tdy": point VENDRA_BUILD_CONFIG at that file. The list's signature lasts a
# week; a root kept longer needs
#   vendra-catalogue sign-list --root SERVICE_ROOT --key KEY
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
catalogue="$build/packagemanager/vendra-catalogue"
key="${VENDRA_PUBLISHER_KEY:-$build/throwaway-publisher-key/publisher.key}"
if [ ! -f "$key" ]; then
  echo "make-catalogue: no publisher key $key: name the private half of the key the build" \
    "pins in VENDRA_PUBLISHER_KEY" >&2
  exit 1
fi
public_key="$(openssl pkey -in "$key" -pubout -outform DER | tail -c 32 | base64)"
printf '{"publisher_keys": ["%s"], "build_lists": {"tdy": "TDY-UPLINK"}}\n' "$public_key" \
  > "${root%/}.vendrabuild-config.json"
product="$(mktemp -d /tmp/tandory-product-XXXXXX)"
trap 'rm -rf "$product"' EXIT
./scripts/demo-product.sh "$product" "$version"
"$catalogue" publish --key "$key" --root "$root" --create --product tdy --branch live \
  --version "$version" --build-list TDY-UPLINK "$product"
"$catalogue" utility --key "$key" --root "$root" --name vendrabuild \
  "$build/packagemanager/VendraBuild"
