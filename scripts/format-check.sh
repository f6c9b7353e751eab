#!/usr/bin/env bash
# Fails on any C++ file of the tree that clang-format (the project's .clang-format) would change,
# and names them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
mapfile -d '' files < <(git ls-files -z '*.cpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"
echo "clang-format: ${#files[@]} files formatted as .clang-format says"
