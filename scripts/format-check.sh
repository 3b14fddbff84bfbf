#!/usr/bin/env bash
# Fails when a C++ file of ours does not follow .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')
if [ ${#files[@]} -eq 0 ]; then exit 0; fi
clang-format --dry-run --Werror "${files[@]}"
