#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a bounded time (10 seconds a
# target: all eight together stay under two minutes). The committed seed corpus is copied, so new inputs
# stay out of git. Each target's line ends with libFuzzer's count of executions.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${KELTRIMA_FUZZ_SECONDS:-10}"
targets=(fuzz_parse_url fuzz_encode_url fuzz_ini fuzz_content_range fuzz_http_date fuzz_header_block fuzz_state_file
         fuzz_signature_text)

cmake -S . -B build-fuzz -G Ninja -DKELTRIMA_FUZZ=ON -DKELTRIMA_BUILD_GUI=OFF -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
  seed="fuzz/corpus/${target#fuzz_}"
  work="fuzz/corpus-run/${target#fuzz_}"
  mkdir -p "$work"
  cp -n "$seed"/* "$work"/ 2>/dev/null || true
  log="build-fuzz/$target.log"
  if ! "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="build-fuzz/$target-" "$work" >"$log" 2>&1; then
    echo "$target: FAILED (see $log)"
    tail -30 "$log"
    status=1
  fi
  echo "$target: $(grep -E '^Done [0-9]+ runs' "$log" || echo 'no summary')"
done
exit $status
