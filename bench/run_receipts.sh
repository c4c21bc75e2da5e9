#!/bin/bash
# Runs the receipt bench at 10,000, 100,000 and 1,000,000 receipts.
#   bash bench/run_receipts.sh [build folder] [sizes...]
# With BEFORE=<another bench_receipts> (an older build of the program) each
# size runs with both, and one table shows the figures side by side; each
# build keeps stores of its own. With CATEGORIES=<n> the receipts are spread
# over n categories instead of ten. BENCH_WAIT_MS (default 3000) is how long
# the program stays idle after start-up before the first search.
set -euo pipefail
build="${1:-build}"
shift || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(10000 100000 1000000)

# "label<TAB>figure<TAB>note" for every timed line and the peak memory; the
# note is what follows the figure, without the resident memory column.
figures() {
    grep -v '^built\|receipts, store\|(info' | awk '{
        for (i = 1; i < NF; ++i)
            if ($i ~ /^[0-9.]+$/ && ($(i + 1) == "ms" || $(i + 1) == "MB")) {
                label = $1; for (k = 2; k < i; ++k) label = label " " $k
                note = ""; j = i + 2
                if ($(j + 1) == "MB") j += 2
                for (; j <= NF; ++j) note = note " " $j
                printf "%s\t%s %s\t%s\n", label, $i, $(i + 1), note
                break
            }
    }'
}

for n in "${sizes[@]}"; do
    if [ -z "${BEFORE:-}" ]; then
        "$build/bin/bench_receipts" "$n" /tmp/tavrellquillbox-bench-2 ${CATEGORIES:+"$CATEGORIES"}
        echo
        continue
    fi
    after="$("$build/bin/bench_receipts" "$n" /tmp/tavrellquillbox-bench-after ${CATEGORIES:+"$CATEGORIES"} 2>/dev/null)"
    before="$("$BEFORE" "$n" /tmp/tavrellquillbox-bench-before ${CATEGORIES:+"$CATEGORIES"} 2>/dev/null)"
    echo "$after" | grep 'receipts, store' | sed 's/^/after:  /'
    echo "$before" | grep 'receipts, store' | sed 's/^/before: /'
    printf '| %s | %s | %s | %s |\n|---|---:|---:|---|\n' "$n receipts" before after "after: hits and the shell"
    paste <(echo "$before" | figures) <(echo "$after" | figures) |
        awk -F'\t' '{ printf "| %s | %s | %s |%s |\n", $1, $2, $5, $6 }'
    echo
done
