#!/bin/bash
# Runs the receipt bench at 10,000, 100,000 and 1,000,000 receipts.
#   bash bench/run_receipts.sh [build folder] [sizes...]
set -euo pipefail
build="${1:-build}"
shift || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(10000 100000 1000000)
for n in "${sizes[@]}"; do
    "$build/bin/bench_receipts" "$n"
    echo
done
