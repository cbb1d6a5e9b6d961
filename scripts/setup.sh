#!/usr/bin/env bash
# Prepares a Debian machine to build and test Wemlox: installs what is missing,
# enables source packages and cross-builds libjpeg-turbo and libcurl once into a
# cache outside the checkout. Safe to run again: it only does what is missing.
# Usage: setup.sh [native|windows]: only what the native build needs, or only
# what the Windows build and its tests need (so that the test command can
# build natively meanwhile); without an argument, both.
set -euo pipefail

part=${1:-all}
DEPS_ROOT=${WEMLOX_DEPS_ROOT:-/var/cache/wemlox-deps}
NATIVE_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
)
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix nasm dpkg-dev
  wine wine64 xvfb xauth x11-utils imagemagick python3-pil fonts-dejavu-core
  iproute2 util-linux zip unzip wixl
)

log() { printf '[setup] %s\n' "$*"; }

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

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

install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

# The package lists are fetched once, by the first part that finds anything
# missing; the other part installs from them and updates only if that fails.
updated=0
mapfile -t all_missing < <(missing_of "${NATIVE_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}")
if enable_deb_src; then log "deb-src enabled"; apt-get update -q; updated=1; fi
case $part in
  native) wanted=("${NATIVE_PACKAGES[@]}") ;;
  windows) wanted=("${WINDOWS_PACKAGES[@]}") ;;
  *) wanted=("${NATIVE_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}") ;;
esac
mapfile -t missing < <(missing_of "${wanted[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  if [ $updated = 0 ] && [ "$part" != windows ]; then apt-get update -q; updated=1; fi
  if ! install "${missing[@]}"; then
    [ $updated = 0 ] || exit 1
    apt-get update -q && updated=1 && install "${missing[@]}"
  fi
elif [ "$part" = native ] && [ ${#all_missing[@]} -gt 0 ]; then
  apt-get update -q
fi
if [ "$part" = native ]; then
  log "ready for the native build"
  exit 0
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

# Only what the program links: the static libraries and their headers, no
# tools, tests or documents. The two build side by side (one's configure
# checks run while the other compiles).
build_jpeg() {
  local src=$1 build=$2
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
    -DCMAKE_ASM_NASM_COMPILER=nasm \
    && cmake --build "$build" --target jpeg-static \
    && mkdir -p "$PREFIX/include" "$PREFIX/lib" \
    && cp "$build/libjpeg.a" "$PREFIX/lib/" \
    && cp "$build/jconfig.h" "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$PREFIX/include/"
}
build_curl() {
  local src=$1 build=$2
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DHTTP_ONLY=ON \
    -DCURL_USE_OPENSSL=OFF -DCURL_USE_SCHANNEL=OFF -DCURL_USE_LIBSSH2=OFF \
    -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF \
    -DUSE_WIN32_IDN=OFF -DENABLE_UNICODE=ON -DCURL_DISABLE_LDAP=ON -DENABLE_MANUAL=OFF \
    -DCURL_CA_PATH=none -DCURL_CA_BUNDLE=none \
    && cmake --build "$build" --target libcurl \
    && cmake --install "$build"
}

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
  build_jpeg "$jsrc" "$work/jpeg-build" >"$work/jpeg.log" 2>&1 &
  jpeg_job=$!
  build_curl "$csrc" "$work/curl-build" >"$work/curl.log" 2>&1 &
  curl_job=$!
  failed=0
  wait "$jpeg_job" || { tail -30 "$work/jpeg.log"; failed=1; }
  wait "$curl_job" || { tail -30 "$work/curl.log"; failed=1; }
  [ $failed = 0 ] || { log "dependency build failed"; exit 1; }
  touch "$PREFIX/.complete"
  log "dependencies built"
fi
ln -sfn "$PREFIX" "$DEPS_ROOT/current"
log "ready (deps: $DEPS_ROOT/current)"
