#!/usr/bin/env bash
# Runs every benchmark of the plain build and prints its figures.
set -euo pipefail
cd "$(dirname "$0")/.."
for binary in build/bench/*_bench; do
  [ -x "$binary" ] || continue
  echo "== $binary"
  "$binary" --benchmark_counters_tabular=true
done
for script in bench/*.sh; do
  [ -f "$script" ] || continue
  echo "== $script"
  bash "$script"
done
