#!/usr/bin/env bash
# Writes what LoadImageW and GetPixel on Win32 give for every corpus file, from bmp-probe
# cross-built with MinGW-w64 and run under Wine in Xvfb at 24 bits per pixel.
#   tools/bmp_compare/wine_list.sh OUTPUT [CORPUS]
# OUTPUT is tools/bmp_compare/wine_expected.txt when the expectation is regenerated.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$1
corpus=${2:-$root/../shared/bmp-corpus}

[ -f build/mingw/build.ninja ] || cmake --preset mingw >/dev/null
cmake --build --preset mingw --target bmp-probe >/dev/null

export WINEPREFIX=$root/build/mingw/bmp-wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi

{
    echo "# bmp-probe under $(wine --version), Xvfb 24 bits per pixel; made by tools/bmp_compare/wine_list.sh"
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        wine build/mingw/tools/bmp_compare/bmp-probe.exe "$(winepath -w "$corpus")" 2>build/mingw/bmp-probe.log | tr -d '\r'
    cat build/mingw/bmp-probe.log >&2
} >"$out.tmp"
mv "$out.tmp" "$out"
