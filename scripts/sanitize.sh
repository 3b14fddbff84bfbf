#!/usr/bin/env bash
# The sanitizer runs of CI: the core and download tests (keltrima-get included) built with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ (no windows; a debug build, so the client's
# thread checks are on), and the transfer thread's tests built with ThreadSanitizer in build-tsan/. Prints
# how long each run took.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

start=$SECONDS
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELTRIMA_BUILD_GUI=OFF -DKELTRIMA_WINE_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="-O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan -j"$jobs" --target keltrima_core_tests keltrima_download_tests keltrima-get
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest -j"$jobs" --output-on-failure --timeout 600 | tail -8)
asan=$((SECONDS - start))

start=$SECONDS
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELTRIMA_WINE_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="-O1 -fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build build-tsan -j"$jobs" --target transfer_thread_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/mainwindow/transfer_thread_tests --gtest_repeat=10 --gtest_brief=1
tsan=$((SECONDS - start))

echo "sanitizers: AddressSanitizer+UndefinedBehaviorSanitizer ${asan} s, ThreadSanitizer ${tsan} s"
