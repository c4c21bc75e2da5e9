#!/bin/bash
# The fuzz stage of the test command. Builds the libFuzzer targets of
# tests/fuzz with clang (address and undefined sanitizers) in build-fuzz,
# replays every corpus file through its target (tests/fuzz/corpus/<target>/
# and the seeds fuzz_make_seeds writes), then fuzzes each target for a fixed
# time. A crash, sanitizer report, leak, timeout or out-of-memory in any
# target but fuzz_emf2svg fails the stage.
#
# fuzz_emf2svg runs libemf2svg inside the fuzzer. That library is why the
# program converts EMF in a separate process; its crashes are counted and
# reported here, not failed on. fuzz_emf checks that the program survives them.
#
#   bash tools/fuzz.sh [seconds per target]     default 20
# Findings land in build-fuzz/findings/; replay one with
#   build-fuzz/bin/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-20}"
build=build-fuzz
bin="$build/bin"
jobs="$(nproc)"
[ "$jobs" -gt 2 ] && jobs=2
gating=(fuzz_jpeg fuzz_bmp fuzz_ico fuzz_tiff fuzz_wmf fuzz_emf fuzz_vornjiami fuzz_like fuzz_folded fuzz_nfkc fuzz_receipts fuzz_split)
contained=(fuzz_emf2svg)
targets=("${gating[@]}" "${contained[@]}")
# The limits while fuzzing, and the tighter ones of the replay: a hostile
# picture must be shown or refused within 1 s and 300 MB by the program, so
# under the sanitizers (slower, and some 60 MB of their own) it gets 5 s and
# 600 MB.
limits=(-rss_limit_mb=2048 -timeout=10)
replay_limits=(-rss_limit_mb=600 -timeout=5)
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/lsan.supp:print_suppressions=0"

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQB_FUZZ=ON -DQB_TESTS=OFF -DQB_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}" fuzz_make_seeds

seeds="$build/seeds"
logs="$build/fuzz-logs"
findings="$build/findings"
rm -rf "$seeds" "$logs" "$findings" "$build/fuzz-work"
mkdir -p "$logs" "$findings"
QT_QPA_PLATFORM=offscreen "$bin/fuzz_make_seeds" "$seeds"

is_contained() { [ "$1" = fuzz_emf2svg ]; }
# A target may have no committed corpus folder (git keeps no empty ones).
corpus_files() {
    local d
    for d in "tests/fuzz/corpus/$1" "$seeds/$1"; do
        if [ -d "$d" ]; then find "$d" -type f; fi
    done | sort
}

# Replay: every file once, all of a target's files in one process; when
# that fails, each file in a process of its own, so that one finding does
# not hide the next.
failed=()
declare -A replayed replay_bad
replay() { "$bin/$1" "${replay_limits[@]}" -artifact_prefix="$findings/$1-" "${@:2}"; }
for t in "${targets[@]}"; do
    mapfile -t files < <(corpus_files "$t")
    replayed[$t]=${#files[@]}
    replay_bad[$t]=0
    replay "$t" "${files[@]}" >"$logs/replay-$t.log" 2>&1 && continue
    for f in "${files[@]}"; do
        log="$logs/replay-$t-$(basename "$f").log"
        replay "$t" "$f" >"$log" 2>&1 && continue
        replay_bad[$t]=$((replay_bad[$t] + 1))
        if is_contained "$t"; then
            echo "replay $t: $f crashes the library (contained by the converter process)"
        else
            echo "replay $t: FINDING on $f (log $log):"
            grep -E "ERROR|SUMMARY|runtime error|fuzz finding|out-of-memory|timeout" "$log" | head -5 || true
            failed+=("$t replay $(basename "$f")")
        fi
    done
done

# Timed runs, $jobs at a time. Each target fuzzes a copy of its corpus, so
# the inputs it finds stay in the build folder.
run_timed() {
    local t="$1" work="$build/fuzz-work/$1" log="$logs/fuzz-$1.log" extra=()
    mkdir -p "$work"
    corpus_files "$t" | while IFS= read -r f; do cp "$f" "$work/"; done
    if is_contained "$t"; then
        extra=(-fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1)
    fi
    local start=$SECONDS rc=0
    "$bin/$t" "${limits[@]}" "${extra[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/$t-" "$work" >"$log" 2>&1 || rc=$?
    echo "$rc $((SECONDS - start))" >"$log.result"
}
running=0
for t in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    run_timed "$t" &
    running=$((running + 1))
done
wait

echo
echo "Fuzz stage: replay (${replay_limits[*]}), then ${seconds} s per target (${limits[*]})"
for t in "${targets[@]}"; do
    log="$logs/fuzz-$t.log"
    rc=1 took=0
    [ -f "$log.result" ] && read -r rc took <"$log.result"
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    [ -n "$runs" ] || runs="$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')"
    [ -n "$runs" ] || runs=0
    replay="replay ${replayed[$t]} files, ${replay_bad[$t]} failing"
    if is_contained "$t"; then
        crashes="$(grep -oE 'oom/timeout/crash: [0-9]+/[0-9]+/[0-9]+' "$log" | tail -1 | cut -d' ' -f2)"
        printf '%-16s %s; %s runs in %s s; library oom/timeout/crash %s (contained, not failed on)\n' \
            "$t" "$replay" "$runs" "$took" "${crashes:-0/0/0}"
        continue
    fi
    if [ "$rc" -eq 0 ]; then
        verdict="no finding"
    else
        verdict="FINDING (exit $rc, log $log)"
        failed+=("$t fuzz")
    fi
    printf '%-16s %s; %s runs in %s s; %s\n' "$t" "$replay" "$runs" "$took" "$verdict"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo
    echo "Fuzz stage FAILED: ${failed[*]}"
    for t in "${gating[@]}"; do
        grep -hE "^(==[0-9]+==ERROR|SUMMARY|.*runtime error|fuzz finding|artifact_prefix)" "$logs/fuzz-$t.log" || true
    done | head -20
    exit 1
fi
echo "Fuzz stage passed."
