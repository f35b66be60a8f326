#!/usr/bin/env bash
# Installs the Debian packages VandrelKast builds, tests and runs with.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
)
# --with-fuzz adds clang for the libFuzzer targets; --with-bench the comparison tools.
for arg in "$@"; do
  case "$arg" in
    --with-fuzz) packages+=(clang libclang-rt-dev) ;;
    --with-bench) packages+=(clamav yara hyperfine) ;;
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
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
