#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the
# demo need. Safe to run again: it only asks apt for what is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build python3
  g++-mingw-w64-i686 libz-mingw-w64-dev
  wine wine32:i386 xvfb xauth xdotool x11-utils imagemagick
  zlib1g-dev libdeflate-dev libdeflate-tools libarchive-dev
  googletest libgtest-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  zip unzip 7zip libarchive-tools
  valgrind osslsigncode openssl
  locales
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

# The Wine tests run some programs under a Japanese locale (Wine's ANSI code
# page is then 932); its file names need the locale to exist on the Linux side.
ensure_japanese_locale() {
  locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$' && return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: the ja_JP.UTF-8 locale is missing (run as root to make it)" >&2
    return 1
  fi
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

if ((${#missing[@]} == 0)); then
  ensure_japanese_locale
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages (run as root to install): ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_japanese_locale
