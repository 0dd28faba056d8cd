#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build and test the
# project: cross compilers, Wine, test peers, fonts, and a static libcurl for
# both Windows architectures. Idempotent and quiet when there is nothing to do.
set -euo pipefail

CURL_CACHE_ROOT="${CURL_CACHE_ROOT:-$HOME/.cache/webinstaller}"
# Our changes to libcurl, applied in name order to a copy of Debian's source.
shopt -s nullglob
CURL_PATCHES=("$(cd "$(dirname "$0")" && pwd)"/patches/curl-*.patch)
shopt -u nullglob
PACKAGES=(
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 gcc-mingw-w64-x86-64 gcc-mingw-w64-i686
  libz-mingw-w64-dev googletest cmake ninja-build
  wine64 wine xvfb xauth imagemagick xdotool librsvg2-bin
  fonts-wine fonts-liberation fonts-wqy-microhei libfreetype6 libfontconfig1 libxrender1
  dpkg-dev patch nginx tinyproxy aria2 openssl osslsigncode python3 clang libclang-rt-14-dev zip clang-format-14
)

log() { echo "setup: $*"; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

ensure_deb_src() {
  local src=/etc/apt/sources.list.d/debian-src.sources
  [ -f "$src" ] && return 0
  log "adding deb-src entries"
  sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$src" >/dev/null
  APT_UPDATED=0
}

APT_UPDATED=1
ensure_packages() {
  local missing
  missing=$(missing_packages)
  [ -z "$missing" ] && [ "$APT_UPDATED" = 1 ] && return 0
  log "installing: ${missing:-(package lists only)}"
  as_root apt-get update -qq >/dev/null
  if [ -n "$missing" ]; then
    # Keep package scripts from starting system services (nginx would claim port 80).
    local policy=/usr/sbin/policy-rc.d created_policy=0
    if [ ! -e "$policy" ]; then
      printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
      as_root chmod +x "$policy"
      created_policy=1
    fi
    # shellcheck disable=SC2086
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
    if [ "$created_policy" = 1 ]; then as_root rm -f "$policy"; fi
  fi
}

# Debian's source of one package version (a security update is a new folder).
curl_source_dir() {
  echo "$CURL_CACHE_ROOT/src/$1/curl-$2"
}

# A short name of our patches' contents.
curl_patches_tag() {
  cat "${CURL_PATCHES[@]}" /dev/null | sha256sum | cut -c1-8
}

patched_source_dir() {
  echo "$(curl_source_dir "$1" "$2")-patched-$(curl_patches_tag)"
}

# What the product uses of libcurl: HTTP and HTTPS over Schannel (with a CA
# file), redirects, ranges, proxies from the environment with Basic auth,
# IPv6, progress callbacks and time-outs. Everything else is switched off to
# keep the shipped program small. The product never asks for another
# authentication scheme than Basic (curl's default), reads no cookies, netrc
# or dates and logs no curl error strings. libcurl formats with its own
# printf; the C runtime's sscanf and sprintf (for the odd float) do for the
# rest, instead of MinGW's 90 KB C99 stdio.
CURL_C_FLAGS="-ffunction-sections -fdata-sections -D__USE_MINGW_ANSI_STDIO=0"
# The shipped 32-bit build drops libcurl's unwind tables (about 20 KB): every
# callback we hand it is noexcept, so no exception ever unwinds through its
# frames. The 64-bit build keeps them; its system unwinder relies on them.
curl_c_flags() {
  if [ "$1" = i686 ]; then
    echo "$CURL_C_FLAGS -fno-asynchronous-unwind-tables -fno-unwind-tables"
  else
    echo "$CURL_C_FLAGS"
  fi
}
CURL_OPTIONS=(
  -DBUILD_SHARED_LIBS=OFF -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DHTTP_ONLY=ON
  -DBUILD_CURL_EXE=ON -DBUILD_TESTING=OFF -DCURL_USE_LIBSSH2=OFF -DUSE_LIBIDN2=OFF
  -DCURL_ZLIB=OFF -DENABLE_MANUAL=OFF -DCURL_DISABLE_LDAP=ON -DCURL_USE_LIBPSL=OFF
  -DCURL_DISABLE_COOKIES=ON -DCURL_DISABLE_MIME=ON -DCURL_DISABLE_NETRC=ON
  -DCURL_DISABLE_DOH=ON -DCURL_DISABLE_ALTSVC=ON -DCURL_DISABLE_HSTS=ON
  -DCURL_DISABLE_VERBOSE_STRINGS=ON -DCURL_DISABLE_GETOPTIONS=ON -DCURL_DISABLE_PARSEDATE=ON
  -DCURL_DISABLE_SHUFFLE_DNS=ON -DCURL_DISABLE_PROGRESS_METER=ON -DCURL_DISABLE_CRYPTO_AUTH=ON
  -DCURL_DISABLE_NTLM=ON -DENABLE_UNIX_SOCKETS=OFF
)

# A short name of the option set and our patches: a change to either builds
# into a new folder.
curl_options_tag() {
  printf '%s\n' "$(curl_c_flags "$1")" "${CURL_OPTIONS[@]}" "$(curl_patches_tag)" | sha256sum | cut -c1-8
}

curl_prefix() {
  echo "$CURL_CACHE_ROOT/curl-$1-$2-$(curl_options_tag "$2")"
}

build_curl() {
  local version=$1 upstream=$2 arch=$3 prefix build toolchain
  prefix=$(curl_prefix "$version" "$arch")
  [ -f "$prefix/.complete" ] && return 0
  log "building static libcurl $version for $arch (a few minutes, once)"
  build="$CURL_CACHE_ROOT/build/$(basename "$prefix")"
  mkdir -p "$CURL_CACHE_ROOT/build"
  toolchain="$(cd "$(dirname "$0")/.." && pwd)/cmake/toolchain-$arch.cmake"
  rm -rf "$build" "$prefix"
  cmake -S "$(patched_source_dir "$version" "$upstream")" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_C_FLAGS="$(curl_c_flags "$arch")" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${CURL_OPTIONS[@]}" \
    >"$build.log" 2>&1 || { tail -30 "$build.log" >&2; exit 1; }
  cmake --build "$build" --target install -j"$(nproc)" >>"$build.log" 2>&1 || { tail -30 "$build.log" >&2; exit 1; }
  touch "$prefix/.complete"
}

# Stable names for the build files: curl-<arch> points at the current build.
link_curl() {
  local version=$1 arch=$2
  ln -sfn "$(curl_prefix "$version" "$arch")" "$CURL_CACHE_ROOT/curl-$arch"
}

# The source folder appears whole or not at all.
fetch_curl_source() {
  local full=$1 version=$2 upstream=$3 dir work
  dir=$(curl_source_dir "$version" "$upstream")
  [ -d "$dir" ] && return 0
  log "fetching Debian's curl $full source"
  work="$CURL_CACHE_ROOT/src/$version.partial"
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && apt-get source -qq "curl=$full" >/dev/null 2>&1) || {
    echo "setup: apt-get source curl=$full failed" >&2; rm -rf "$work"; exit 1; }
  [ -d "$work/curl-$upstream" ] || { echo "setup: curl source not found in $work" >&2; rm -rf "$work"; exit 1; }
  rm -rf "$CURL_CACHE_ROOT/src/$version"
  mv "$work" "$CURL_CACHE_ROOT/src/$version"
}

# Debian's tree stays as it came; the patched copy appears whole or not at all.
patch_curl_source() {
  local version=$1 upstream=$2 dir work patch
  dir=$(patched_source_dir "$version" "$upstream")
  [ -d "$dir" ] && return 0
  log "applying ${#CURL_PATCHES[@]} patch(es) to a copy of the curl source"
  work="$dir.partial"
  rm -rf "$work"
  cp -a "$(curl_source_dir "$version" "$upstream")" "$work"
  for patch in "${CURL_PATCHES[@]}"; do
    patch -d "$work" -p1 --batch --forward --quiet <"$patch" || {
      echo "setup: $patch does not apply to curl $upstream" >&2; rm -rf "$work"; exit 1; }
  done
  mv "$work" "$dir"
}

main() {
  ensure_deb_src
  ensure_packages
  # The candidate version names the cache, so a Debian security update rebuilds it.
  local full upstream
  full=$(apt-cache policy curl | awk '/Candidate:/{print $2}')
  upstream=${full#*:}
  upstream=${upstream%-*}
  local version=${full//:/_}
  fetch_curl_source "$full" "$version" "$upstream"
  patch_curl_source "$version" "$upstream"
  for arch in x86_64 i686; do
    build_curl "$version" "$upstream" "$arch"
    link_curl "$version" "$arch"
  done
}

main "$@"
