#!/usr/bin/env bash
# Prepares a Debian machine to build and test Wemlox: installs what is missing,
# enables source packages and cross-builds libjpeg-turbo and libcurl once into a
# cache outside the checkout. Safe to run again: it only does what is missing.
set -euo pipefail

DEPS_ROOT=${WEMLOX_DEPS_ROOT:-/var/cache/wemlox-deps}
PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix nasm dpkg-dev
  wine wine64 xvfb xauth x11-utils imagemagick python3-pil fonts-dejavu-core
  iproute2 util-linux zip unzip wixl
  googletest libgtest-dev libbenchmark-dev
)

log() { printf '[setup] %s\n' "$*"; }

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

enable_deb_src() {
  local f=/etc/apt/sources.list.d/debian.sources
  if [ -f "$f" ] && ! grep -q '^Types:.*deb-src' "$f"; then
    sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
    return 0
  fi
  if [ ! -f "$f" ] && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    grep -s '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >> /etc/apt/sources.list
    return 0
  fi
  return 1
}

updated=0
if enable_deb_src; then log "deb-src enabled"; apt-get update -q; updated=1; fi
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  [ $updated = 1 ] || apt-get update -q
  updated=1
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

src_version() {
  apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/{print $2; exit}'
}
JPEG_VER=$(src_version libjpeg-turbo)
CURL_VER=$(src_version curl)
if [ -z "$JPEG_VER" ] || [ -z "$CURL_VER" ]; then
  [ $updated = 1 ] || { apt-get update -q; updated=1; }
  JPEG_VER=$(src_version libjpeg-turbo); CURL_VER=$(src_version curl)
fi
[ -n "$JPEG_VER" ] && [ -n "$CURL_VER" ] || { log "source packages not found"; exit 1; }

KEY="mingw64-jpeg-$JPEG_VER-curl-$CURL_VER"
PREFIX="$DEPS_ROOT/${KEY//[:~+]/_}"
TOOLCHAIN="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake"

if [ -f "$PREFIX/.complete" ]; then
  log "dependencies cached in $PREFIX"
else
  log "building libjpeg-turbo $JPEG_VER and curl $CURL_VER for Windows into $PREFIX"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  rm -rf "$PREFIX"; mkdir -p "$PREFIX"
  (cd "$work" && apt-get source -q --download-only libjpeg-turbo curl >/dev/null \
     && for d in *.dsc; do dpkg-source -x "$d" >/dev/null; done)
  jsrc=$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -1)
  csrc=$(find "$work" -maxdepth 1 -type d -name 'curl-*' | head -1)
  cmake -S "$jsrc" -B "$work/jpeg-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
    -DCMAKE_ASM_NASM_COMPILER=nasm >"$work/jpeg.log" 2>&1 \
    || { tail -30 "$work/jpeg.log"; exit 1; }
  cmake --build "$work/jpeg-build" --target install >>"$work/jpeg.log" 2>&1 \
    || { tail -30 "$work/jpeg.log"; exit 1; }
  cmake -S "$csrc" -B "$work/curl-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DHTTP_ONLY=ON \
    -DCURL_USE_OPENSSL=OFF -DCURL_USE_SCHANNEL=OFF -DCURL_USE_LIBSSH2=OFF \
    -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF \
    -DUSE_WIN32_IDN=OFF -DENABLE_UNICODE=ON -DCURL_DISABLE_LDAP=ON -DENABLE_MANUAL=OFF \
    -DCURL_CA_PATH=none -DCURL_CA_BUNDLE=none >"$work/curl.log" 2>&1 \
    || { tail -30 "$work/curl.log"; exit 1; }
  cmake --build "$work/curl-build" --target install >>"$work/curl.log" 2>&1 \
    || { tail -30 "$work/curl.log"; exit 1; }
  touch "$PREFIX/.complete"
  log "dependencies built"
fi
ln -sfn "$PREFIX" "$DEPS_ROOT/current"
log "ready (deps: $DEPS_ROOT/current)"
