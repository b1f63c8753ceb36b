#!/usr/bin/env bash
# Renders the configuration dialog with its defaults, offscreen, to a PNG.
# Usage: scripts/render-dialog.sh [BUILD_DIR [OUTPUT]]
#   BUILD_DIR defaults to build (configured here when it is not yet),
#   OUTPUT to docs/dialog.png.
# Uses the build's render_dialog target when the project builds it, else
# compiles tools/render_dialog/render_dialog.cpp against the built library.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/dialog.png}

[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja >/dev/null
if ! grep -q '^COMVORLIX_QT:BOOL=ON' "$build/CMakeCache.txt" ||
   ! grep -q '^Qt6Widgets_DIR:PATH=/' "$build/CMakeCache.txt"; then
  echo "render-dialog: $build is not built with Qt (install qt6-base-dev, configure with -DCOMVORLIX_QT=ON)" >&2
  exit 1
fi

if ninja -C "$build" -t targets all 2>/dev/null | grep -q '^render_dialog:'; then
  ninja -C "$build" render_dialog >/dev/null
  tool=$build/tools/render_dialog/render_dialog
else
  ninja -C "$build" comvorlix >/dev/null
  tool=$build/render_dialog
  # shellcheck disable=SC2046  # pkg-config prints several words on purpose
  c++ -std=c++20 -O1 -fPIC -Isrc tools/render_dialog/render_dialog.cpp \
      $(pkg-config --cflags Qt6Widgets) -L"$build/src" -lcomvorlix $(pkg-config --libs Qt6Widgets) \
      -Wl,-rpath,"$(cd "$build/src" && pwd)" -o "$tool"
fi

mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen "$tool" "$out"
echo "wrote $out"
