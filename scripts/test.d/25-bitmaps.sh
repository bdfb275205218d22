#!/usr/bin/env bash
# Bitmaps as Win32 loads them: bmp-probe cross-built for Windows and run under Wine over the
# bitmap corpus must give the checked-in list that the native suite compares our layer with.
# Needs what scripts/install-deps installs (MinGW-w64, Wine, Xvfb); installs nothing itself.
set -euo pipefail
cd "$(dirname "$0")/../.."
mkdir -p build/bmp-compare
tools/bmp_compare/wine_list.sh build/bmp-compare/wine.txt
if ! diff -u tools/bmp_compare/wine_expected.txt build/bmp-compare/wine.txt; then
    echo "Wine now loads the corpus differently: check the differences, then regenerate with" >&2
    echo "  tools/bmp_compare/wine_list.sh tools/bmp_compare/wine_expected.txt" >&2
    exit 1
fi
echo "== $(grep -vc '^#' tools/bmp_compare/wine_expected.txt) corpus files as under Wine"
