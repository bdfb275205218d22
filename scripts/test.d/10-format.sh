#!/usr/bin/env bash
# Every C++ file of the tree laid out as .clang-format says; fails on any difference and
# shows it. To fix: clang-format -i FILE... Needs what scripts/install-deps installs.
set -euo pipefail
cd "$(dirname "$0")/../.."

mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.inl')
echo "== clang-format over ${#files[@]} files"
clang-format --dry-run --Werror "${files[@]}"
