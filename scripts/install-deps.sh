#!/usr/bin/env bash
# Installs the Debian packages VandrelKast builds, tests and runs with.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
  make cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev
  libhivex-dev libssl-dev libpcre2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  # Real peers and fixtures the tests start or make: SMTP, FTP, DNS, PE files,
  # hive exports, NTFS (over FUSE) and FAT file systems in image files, a private
  # session bus (file manager requests).
  python3 python3-aiosmtpd python3-pyftpdlib dnsmasq-base openssl
  binutils-mingw-w64-x86-64 libwin-hivex-perl libhivex-bin ntfs-3g dosfstools dbus-daemon
)
# --with-fuzz adds clang for the libFuzzer targets; --with-bench the comparison tools;
# --with-screenshots a virtual X server for pictures of the real window.
for arg in "$@"; do
  case "$arg" in
    --with-fuzz) packages+=(clang libclang-rt-dev) ;;
    --with-bench) packages+=(clamav yara hyperfine time) ;;  # time: peak memory of a scan
    --with-screenshots) packages+=(xvfb xauth imagemagick) ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps: these packages are missing: ${missing[*]}" >&2
    echo "install-deps: run this script as root, or install sudo and run it again." >&2
    exit 1
  fi
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
