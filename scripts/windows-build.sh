#!/usr/bin/env bash
# Cross-builds keltrima-get.exe and the core's tests for 64-bit Windows with MinGW-w64 (statically linked:
# the .exe files need no DLL beside them). The program's windows are not part of it: they need Qt for
# Windows, which is not built here.
#   bash scripts/windows-build.sh [BUILD_FOLDER] [cmake options...]   (default folder: build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."

dir="${1:-build-windows}"
shift || true

werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKELTRIMA_WERROR=$werror "$@"
cmake --build "$dir" -j"${KELTRIMA_JOBS:-2}"
for exe in cli/keltrima-get.exe tests/core/keltrima_core_tests.exe; do
  if [ -f "$dir/$exe" ]; then echo "built: $dir/$exe"; fi
done
