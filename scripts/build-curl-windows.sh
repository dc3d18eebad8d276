#!/usr/bin/env bash
# Builds a static libcurl for 64-bit Windows (mingw-w64, Schannel TLS, zlib)
# from Debian's own source package of curl, cached outside the work tree.
#
# Prints the install prefix (include/, lib/libcurl.a) as its last line.
# Environment: VENDRA_CACHE_DIR (default /var/cache/vendra).
set -euo pipefail

package=curl
tool=build-curl-windows
# shellcheck source=scripts/mingw-source-build.sh
source "$(dirname "${BASH_SOURCE[0]}")/mingw-source-build.sh"

ensure_tools autoconf automake libtool libz-mingw-w64-dev
find_cached
fetch_source

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
step autoreconf autoreconf -fi
step configure ./configure --host=$host --prefix="$stage" \
  --with-schannel --enable-static --disable-shared --disable-ldap --disable-pthreads \
  --without-libpsl --without-brotli --without-zstd --without-libidn2 --without-nghttp2 \
  --without-libssh2 --with-zlib=/usr/$host \
  --disable-manual --disable-docs
step make make -j2 -C lib
make -C lib install >/dev/null
make -C include install >/dev/null
# Only the headers and the static library are used; the libtool, pkg-config
# and curl-config files name the staging folder and would mislead.
rm -rf "$stage/bin" "$stage/lib/pkgconfig" "$stage/lib/libcurl.la" "$stage/share"
publish_stage
