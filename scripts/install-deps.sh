#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the
# demo need. Safe to run again: it only asks apt for what is missing.
# Where the kernel refuses 32-bit x86 programs, it also installs and
# registers an emulator for them, so that 32-bit Wine can run at all.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

PACKAGES=(
  build-essential cmake ninja-build python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine32:i386 wine64 xvfb xauth xdotool x11-utils imagemagick
  zlib1g-dev libdeflate-dev libdeflate-tools libarchive-dev libssl-dev
  googletest libgtest-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  zip unzip 7zip libarchive-tools
  valgrind osslsigncode openssl
  locales
)

missing_packages() {
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$pkg"
    fi
  done
}

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

install_packages() {
  local missing
  mapfile -t missing < <(missing_packages "$@")
  ((${#missing[@]} > 0)) || return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: missing packages (run as root to install): ${missing[*]}" >&2
    return 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt-get update -qq
  fi
  # The package lists of a fresh machine may be missing or stale.
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 || {
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  }
}

# 32-bit Wine needs the kernel to run 32-bit x86 programs; some kernels
# refuse them all. There an emulator stands in, registered with the kernel.
ensure_i386_programs_run() {
  case "$(arcula_i386_mode)" in
    native) return 0 ;;
    emulated)
      echo "install-deps: this kernel refuses 32-bit x86 programs; they run through the registered emulator (slowly)"
      return 0 ;;
  esac
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: this kernel refuses 32-bit x86 programs, and registering an emulator for them needs root" >&2
    return 1
  fi
  install_packages qemu-user-static
  arcula_register_i386_emulator
  echo "install-deps: this kernel refuses 32-bit x86 programs; registered qemu's emulator for them (32-bit Wine runs, slowly)"
}

install_packages "${PACKAGES[@]}"
ensure_japanese_locale
ensure_i386_programs_run
