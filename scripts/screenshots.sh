#!/bin/sh
# Renders every page and dialog of the desktop program to PNG files, offscreen.
# Usage: scripts/screenshots.sh OUTDIR [BUILDDIR]   (BUILDDIR defaults to build/dev)
set -eu
if [ $# -lt 1 ]; then
  echo "usage: $0 OUTDIR [BUILDDIR]" >&2
  exit 2
fi
out=$1
build=${2:-build/dev}
here=$(cd "$(dirname "$0")/.." && pwd)
case $build in /*) ;; *) build=$here/$build ;; esac
if [ ! -x "$build/bin/vandrelkast" ]; then
  cmake --build "$build" --target vandrelkast
fi
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen VANDRELKAST_HOME= "$build/bin/vandrelkast" --screenshots "$out"
