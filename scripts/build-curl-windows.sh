#!/usr/bin/env bash
# Builds a static libcurl for 64-bit Windows (mingw-w64, Schannel TLS, zlib)
# from Debian's own source package of curl, and caches the result outside the
# work tree, keyed by the source version, so that later runs skip the build.
#
# Prints the install prefix (include/, lib/libcurl.a) as its last line.
# Environment: VENDRA_CACHE_DIR (default /var/cache/vendra).
set -euo pipefail

cache_root=${VENDRA_CACHE_DIR:-/var/cache/vendra}
host=x86_64-w64-mingw32
sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

log() { echo "build-curl-windows: $*" >&2; }

# Source packages come from the same archive, suites and components as the
# binary packages: mirror the existing deb entries as deb-src in a file of
# their own, leaving the system's own list untouched.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/vendra-deb-src.sources
  if [ -f "$list" ]; then return 0; fi
  local src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    sed -n -e 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' -e '/^Types:/p' \
      -e '/^URIs:/p' -e '/^Suites:/p' -e '/^Components:/p' -e '/^Signed-By:/p' -e '/^$/p' \
      "$src" | "${sudo_cmd[@]}" tee "$list.tmp" >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    list=/etc/apt/sources.list.d/vendra-deb-src.list
    if [ -f "$list" ]; then return 0; fi
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list | "${sudo_cmd[@]}" tee "$list.tmp" >/dev/null
  else
    log "no apt source list found"; return 1
  fi
  "${sudo_cmd[@]}" mv "$list.tmp" "$list"
  log "added $list; updating package lists"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
}

ensure_tools() {
  local missing=()
  for p in dpkg-dev autoconf automake libtool make gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
  fi
}

# The version apt-get source would fetch, e.g. 7.88.1-10+deb12u15.
source_version() {
  apt-get source --print-uris -qq curl 2>/dev/null |
    sed -n "s/.* curl_\([^ ]*\)\.dsc .*/\1/p" | head -n 1
}

ensure_tools
ensure_deb_src
version=$(source_version)
if [ -z "$version" ]; then
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  version=$(source_version)
fi
if [ -z "$version" ]; then log "cannot find curl's source package"; exit 1; fi

prefix="$cache_root/curl-mingw-$version"
if [ -f "$prefix/.complete" ]; then
  log "cached: $prefix"
  ln -sfn "$(basename "$prefix")" "$cache_root/curl-mingw-current" 2>/dev/null || true
  echo "$prefix"
  exit 0
fi

"${sudo_cmd[@]}" mkdir -p "$cache_root"
"${sudo_cmd[@]}" chown "$(id -u):$(id -g)" "$cache_root" 2>/dev/null || true
work=$(mktemp -d "$cache_root/.curl-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
start=$(date +%s)

log "fetching curl $version source"
(cd "$work" && apt-get source -qq curl >/dev/null 2>&1) || (cd "$work" && apt-get source curl >&2)
srcdir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'curl-*' | head -n 1)

# Debian's flavour patches rename the library for its NSS and GnuTLS builds;
# undo them, newest first, to get upstream's plain libcurl.
cd "$srcdir"
for p in 99_nss.patch 90_gnutls.patch; do
  if [ -f "debian/patches/$p" ]; then
    if patch -R -p1 --dry-run -s < "debian/patches/$p" >/dev/null 2>&1; then
      patch -R -p1 -s < "debian/patches/$p"
    fi
  fi
done
log "autoreconf"
autoreconf -fi >/dev/null 2>&1

stage="$work/stage"
log "configure"
./configure --host=$host --prefix="$stage" \
  --with-schannel --enable-static --disable-shared --disable-ldap --disable-pthreads \
  --without-libpsl --without-brotli --without-zstd --without-libidn2 --without-nghttp2 \
  --without-libssh2 --with-zlib=/usr/$host \
  --disable-manual --disable-docs >"$work/configure.log" 2>&1 || { tail -n 40 "$work/configure.log" >&2; exit 1; }
log "make (lib only)"
make -j2 -C lib >"$work/make.log" 2>&1 || { tail -n 40 "$work/make.log" >&2; exit 1; }
make -C lib install >/dev/null
make -C include install >/dev/null
# Only the headers and the static library are used; the libtool, pkg-config
# and curl-config files name the staging folder and would mislead.
rm -rf "$stage/bin" "$stage/lib/pkgconfig" "$stage/lib/libcurl.la" "$stage/share"
echo "$version" > "$stage/VERSION"

# Publish atomically: a half-built cache is never mistaken for a complete one.
rm -rf "$prefix"
mv "$stage" "$prefix"
touch "$prefix/.complete"
ln -sfn "$(basename "$prefix")" "$cache_root/curl-mingw-current"
log "built in $(( $(date +%s) - start )) s: $prefix"
echo "$prefix"
