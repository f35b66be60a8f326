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

# A small Windows program with an icon and version information for the
# Process Info window, when the MinGW tools are installed.
pe=
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if command -v x86_64-w64-mingw32-windres >/dev/null && command -v cpp >/dev/null; then
  magick -size 32x32 xc:none -fill '#16566f' -draw 'roundrectangle 2,2 29,29 6,6' \
    -fill white -draw 'rectangle 9,9 22,22' "$scratch/app.ico" 2>/dev/null ||
    convert -size 32x32 xc:'#16566f' "$scratch/app.ico" 2>/dev/null || true
  icon=
  [ -s "$scratch/app.ico" ] && icon='1 ICON "app.ico"'
  cat > "$scratch/demo.rc" <<RC
$icon
1 VERSIONINFO
FILEVERSION 2,4,1,980
PRODUCTVERSION 2,4,0,0
FILEOS 0x40004
FILETYPE 0x1
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "CompanyName", "Example Software Ltd."
      VALUE "FileDescription", "Example Photo Viewer"
      VALUE "LegalCopyright", "Copyright (C) 2026 Example Software Ltd."
      VALUE "InternalName", "photoview"
      VALUE "OriginalFilename", "photoview.exe"
      VALUE "ProductName", "Example Photo Suite"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
RC
  printf '.text\n.globl start\nstart:\n ret\n' > "$scratch/start.s"
  if (cd "$scratch" && x86_64-w64-mingw32-as -o start.o start.s &&
      x86_64-w64-mingw32-windres --preprocessor=cpp -O coff -i demo.rc -o demo.o &&
      x86_64-w64-mingw32-ld -e start -o photoview.exe start.o demo.o); then
    pe=$scratch/photoview.exe
  fi
fi
QT_QPA_PLATFORM=offscreen VANDRELKAST_HOME= VANDRELKAST_SCREENSHOT_PE=$pe "$build/bin/vandrelkast" --screenshots "$out"
