#!/usr/bin/env bash
# The download job (no window) against curl's command-line tool fetching the same 100
# pictures of 200 KiB one after another with HTTP/1.0, from a loopback nginx; then the job's
# peak memory for 20 pictures of 8 MiB against one such picture and a tiny one.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVANE_BUILD_DIR:-build}
runner=$PWD/$build/bench/app_job_runner
server=$PWD/$build/bench/app_bench_server
for binary in "$runner" "$server"; do
  [ -x "$binary" ] || { echo "missing $binary: build first" >&2; exit 1; }
done

work=$(mktemp -d)
# The server runs until its standard input closes.
coproc SERVER { exec "$server" "$work"; }
server_pid=$SERVER_PID
cleanup() {
  eval "exec ${SERVER[1]}>&-" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
read -r ready page100 page20 page1 page0 <&"${SERVER[0]}"
[ "$ready" = ready ] || { echo "the benchmark server did not start" >&2; exit 1; }

folder="$work/run/小红书"
clear_outputs="rm -rf '$folder' '$work/curl' && mkdir -p '$folder' '$work/curl'"

echo "-- 100 pictures of 200 KiB: the job against curl --http1.0"
hyperfine --warmup 2 --runs 30 --prepare "$clear_outputs" --export-csv "$work/times.csv" \
  -n job "'$runner' '$page100' '$work/run'" \
  -n curl "curl --http1.0 --silent --fail --config '$work/curl100.cfg'"
# The machine may be shared: the median is the steadier figure, the mean is shown beside it.
awk -F, 'NR > 1 { mean[$1] = $2; median[$1] = $4 } END {
  printf "job / curl: median %.2f (job %.1f ms, curl %.1f ms), mean %.2f; target at most 1.20\n",
         median["job"] / median["curl"], median["job"] * 1000, median["curl"] * 1000,
         mean["job"] / mean["curl"] }' "$work/times.csv"

echo "-- peak memory of a job (resident set)"
labels=("1 picture of 1 KiB" "1 picture of 8 MiB" "20 pictures of 8 MiB")
pages=("$page0" "$page1" "$page20")
for i in 0 1 2; do
  eval "$clear_outputs"
  echo "${labels[$i]}: $("$runner" "${pages[$i]}" "$work/run")"
done
