#!/usr/bin/env bash
# Benchmark, not a test: keltrima-get against the curl command line on one generated file served by
# nginx on loopback. keltrima-get's file is on the disk when it ends (flushed before its rename); plain curl
# leaves its file to the system's write-back, so curl is measured twice: "curl -s -o F" and
# "curl -s -o F && sync F", the fair comparison. Runs the three RUNS times, alternating, and prints per tool
# the median wall time, throughput, user+system CPU and peak RSS, and keltrima-get's throughput ratio to each
# curl (above 1: keltrima-get is faster).
#
# The file is also signed (tools/sign-installer, a key made for the run): "keltrima-get+key" is the same
# download with the signature check (--key), and keltrima_signature_bench then prints the time of the check
# alone on the file and the memory it takes.
#
#   bench/download-bench.sh [--size MiB] [--runs N] [--keltrima-get PATH]
#
# Defaults: 1024 MiB, 5 runs, build/cli/keltrima-get (and build/tests/core/keltrima_signature_bench beside
# it). The file is generated into a temporary folder, which is removed at the end. Run it on a quiet
# machine: `uptime` tells.
set -euo pipefail

size_mib=1024
runs=5
root="$(cd "$(dirname "$0")/.." && pwd)"
kget="$root/build/cli/keltrima-get"
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size_mib="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --keltrima-get) kget="$2"; shift 2 ;;
    -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
[ -x "$kget" ] || { echo "no keltrima-get at $kget (build first)" >&2; exit 2; }
verify_bench="$(dirname "$kget")/../tests/core/keltrima_signature_bench"
[ -x "$verify_bench" ] || { echo "no keltrima_signature_bench at $verify_bench (build it)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is needed (package time)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/keltrima-bench.XXXXXX")"
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/tmp" "$work/out"
echo "generating ${size_mib} MiB ..." >&2
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/www/file.bin"
bytes=$(stat -c %s "$work/www/file.bin")
echo "signing it ..." >&2
public_key=$(bash "$root/tools/sign-installer" keygen "$work/key.pem")
bash "$root/tools/sign-installer" sign "$work/key.pem" "$work/www/file.bin" >/dev/null

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
nginx -p "$work" -e "$work/error.log" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 1 100); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
  sleep 0.05
done
url="http://127.0.0.1:$port/file.bin"

# One timed run: wall seconds, user seconds, system seconds, peak RSS in KiB.
measure() {
  local tool="$1" out="$work/out/file.bin"
  rm -f "$out" "$out.tmp" "$out.sdc"
  sync
  case "$tool" in
    keltrima-get)
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$kget" "$url" "$out" 2>"$work/tool.err" >/dev/null ;;
    keltrima-get+key)
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$kget" "$url" "$out" --key "$public_key" \
        2>"$work/tool.err" >/dev/null ;;
    curl)
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" curl -s -o "$out" "$url" 2>"$work/tool.err" ;;
    curl+sync)
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" \
        sh -c 'curl -s -o "$1" "$2" && sync "$1"' sh "$out" "$url" 2>"$work/tool.err" ;;
  esac
  local got
  got=$(stat -c %s "$out")
  [ "$got" = "$bytes" ] || { echo "$tool wrote $got bytes, expected $bytes" >&2; cat "$work/tool.err" >&2; exit 1; }
  tail -n 1 "$work/time.txt"
}

: >"$work/results.txt"
for i in $(seq 1 "$runs"); do
  for tool in keltrima-get keltrima-get+key curl curl+sync; do
    line=$(measure "$tool")
    echo "$tool $line" >>"$work/results.txt"
    echo "run $i $tool: $line" >&2
  done
done

python3 - "$work/results.txt" "$bytes" "$size_mib" "$runs" <<'PY'
import statistics, sys
path, size, mib, runs = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
rows = {}
for line in open(path):
    tool, wall, user, system, rss = line.split()
    rows.setdefault(tool, []).append((float(wall), float(user) + float(system), int(rss)))
med = {}
for tool, r in rows.items():
    wall = statistics.median(x[0] for x in r)
    cpu = statistics.median(x[1] for x in r)
    rss = max(x[2] for x in r)
    med[tool] = (wall, size / wall / 2**20 if wall > 0 else float("inf"), cpu, rss / 1024)
print(f"file {mib} MiB, {runs} runs per tool, medians (peak RSS: the largest of the runs)")
print(f"{'tool':<14}{'wall s':>9}{'MiB/s':>10}{'CPU s':>9}{'RSS MiB':>10}")
for tool in ("keltrima-get", "keltrima-get+key", "curl", "curl+sync"):
    w, t, c, m = med[tool]
    print(f"{tool:<14}{w:>9.3f}{t:>10.1f}{c:>9.3f}{m:>10.1f}")
k = med["keltrima-get"]
for other in ("curl", "curl+sync"):
    o = med[other]
    ratio = k[1] / o[1] if o[1] > 0 else float("inf")
    print(f"keltrima-get throughput / {other} throughput: {ratio:.2f}")
PY

echo
echo "the signature check alone, on the same file:"
"$verify_bench" "$work/www/file.bin" "$public_key" "$runs"
