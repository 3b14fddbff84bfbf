#!/usr/bin/env bash
# Installs what is missing, builds from scratch in build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

rm -rf build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELTRIMA_WERROR=$werror
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
