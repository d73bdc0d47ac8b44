#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (fuzz preset) and runs each for a while, then prints per target the
# executions, coverage (edges and features), corpus size and crashes. Fails when any target
# crashed, broke one of its properties, hung or ran out of memory.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#       Long run, 300 s a target by default. Fuzzing goes on after a crash (fork mode), so every
#       crash of the run is counted; the corpus grows in build/fuzz/corpus/<target> from run to
#       run, starting from the committed seeds.
#   scripts/fuzz.sh --smoke [SECONDS] [TARGET...]
#       What scripts/fuzz-smoke.sh runs: every committed regression input once, then a short run
#       (15 s by default) from the committed seeds alone with a fixed seed, stopping at the first
#       crash, so that a run can be repeated.
#
# Targets run side by side, one per processor (FUZZ_JOBS sets how many). Crashing inputs are left
# in build/fuzz/artifacts/<target>/ (smoke: build/fuzz/smoke/); make one small with
#   build/fuzz/fuzz/<target> -minimize_crash=1 -max_total_time=60 <input>
# and commit it under fuzz/regressions/<target>/, where every later run replays it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

smoke=0
if [ "${1:-}" = "--smoke" ]; then
    smoke=1
    shift
fi
seconds="${1:-$([ $smoke -eq 1 ] && echo 15 || echo 300)}"
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    mapfile -t targets < <(cd "$root/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
fi
jobs="${FUZZ_JOBS:-$(nproc)}"

"$root/scripts/bootstrap.sh"
start=$SECONDS
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --parallel "$(nproc)"
built=$SECONDS

bin="$root/build/fuzz/fuzz"
if [ $smoke -eq 1 ]; then
    work="$root/build/fuzz/smoke"
    rm -rf "$work"
else
    work="$root/build/fuzz"
fi
mkdir -p "$work/logs"

# The words of the SCPI units help every target that reads headers; the number grammar's own
# pieces help the number reader; a profile's keys and the menus' headers help the profile reader;
# the controllers' own words help the reader of what they print.
dictionary() {
    case "$1" in
    fuzz_numbers) echo "$root/fuzz/numbers.dict" ;;
    fuzz_scpi_headers | fuzz_setting_values | fuzz_unit_message | fuzz_bench_calls)
        echo "$root/fuzz/scpi.dict" ;;
    fuzz_profile_reader) echo "$root/fuzz/profile.dict" ;;
    fuzz_controller_text) echo "$root/fuzz/controller.dict" ;;
    esac
}

run_target() {
    local target=$1
    local log="$work/logs/$target.log"
    local corpus="$work/corpus/$target"
    local artifacts="$work/artifacts/$target"
    rm -rf "$artifacts"
    mkdir -p "$corpus" "$artifacts"
    : >"$log"
    local options=(-timeout=10 -rss_limit_mb=2048 -max_total_time="$seconds"
        -artifact_prefix="$artifacts/")
    local dict
    dict="$(dictionary "$target")"
    [ -n "$dict" ] && options+=(-dict="$dict")

    local regressions=()
    if [ -d "$root/fuzz/regressions/$target" ]; then
        mapfile -t regressions < <(find "$root/fuzz/regressions/$target" -type f | sort)
    fi
    # Each on its own, so that one failing does not hide the others.
    local status=0 input
    for input in "${regressions[@]}"; do
        echo "== regression $input" >>"$log"
        if ! "$bin/$target" -timeout=10 "$input" >>"$log" 2>&1; then
            echo "regression failed: $input" >>"$log"
            status=1
        fi
    done
    echo "== fuzzing" >>"$log"
    if [ $smoke -eq 1 ]; then
        "$bin/$target" "${options[@]}" -seed=1 -print_final_stats=1 \
            "$corpus" "$root/fuzz/corpus/$target" >>"$log" 2>&1 || status=1
    else
        "$bin/$target" "${options[@]}" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 \
            -ignore_ooms=1 "$corpus" "$root/fuzz/corpus/$target" >>"$log" 2>&1 || status=1
    fi
    return $status
}

# One line per target from its log: executions, edges, features, corpus, failures.
summary() {
    local target=$1 status=$2
    local log="$work/logs/$target.log"
    local execs cov ft corp failures
    if [ $smoke -eq 1 ]; then
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        local last
        last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
        cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
        ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
        corp=$(sed -n 's/.*corp: \([0-9]*\).*/\1/p' <<<"$last")
        failures=$([ "$status" -eq 0 ] && echo 0 || echo 1)
    else
        local last
        last=$(grep -E '^#[0-9]+: cov: ' "$log" | tail -1 || true)
        execs=$(sed -n 's/^#\([0-9]*\):.*/\1/p' <<<"$last")
        cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
        ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
        corp=$(sed -n 's/.*corp: \([0-9]*\).*/\1/p' <<<"$last")
        failures=$(sed -n 's/.*oom\/timeout\/crash: \([0-9/]*\).*/\1/p' <<<"$last")
        failures="${failures:-0/0/0}"
    fi
    local inputs
    inputs=$(find "$work/artifacts/$target" -type f 2>/dev/null | wc -l)
    printf '%-22s %12s %7s %8s %7s %16s %9s\n' "$target" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
        "${corp:-?}" "$failures" "$inputs"
}

declare -A running=()
declare -A result=()
reap() {
    local pid status=0
    wait -n -p pid || status=$?
    result[${running[$pid]}]=$status
    unset "running[$pid]"
}
for target in "${targets[@]}"; do
    while [ ${#running[@]} -ge "$jobs" ]; do
        reap
    done
    run_target "$target" &
    running[$!]=$target
done
while [ ${#running[@]} -gt 0 ]; do
    reap
done

echo
echo "fuzz: $([ $smoke -eq 1 ] && echo smoke || echo long) run, ${seconds} s a target," \
    "build $((built - start)) s, fuzzing $((SECONDS - built)) s"
if [ $smoke -eq 1 ]; then
    header="failed"
else
    header="oom/timeout/crash"
fi
printf '%-22s %12s %7s %8s %7s %16s %9s\n' target executions edges features corpus "$header" \
    artifacts
failed=0
for target in "${targets[@]}"; do
    summary "$target" "${result[$target]}"
    if [ "${result[$target]}" -ne 0 ] ||
        [ "$(find "$work/artifacts/$target" -type f 2>/dev/null | wc -l)" -gt 0 ]; then
        failed=1
    fi
done
# What an input breaks: the place of the property or the sanitizer's summary, and its message.
finding() {
    local out
    out=$(timeout 60 "$bin/$1" -timeout=10 "$2" 2>&1 || true)
    if grep -q '^property failed' <<<"$out"; then
        grep -A2 -m1 '^property failed' <<<"$out" | sed -n '2s/^ *at //p;3s/^ */    /p' |
            paste -sd ' ' | cut -c1-220
    elif grep -q '^SUMMARY:' <<<"$out"; then
        grep -m1 '^SUMMARY:' <<<"$out" | cut -c1-220
    else
        echo "passes now"
    fi
}

for target in "${targets[@]}"; do
    artifacts=$(find "$work/artifacts/$target" -type f 2>/dev/null | wc -l)
    [ "${result[$target]}" -eq 0 ] && [ "$artifacts" -eq 0 ] && continue
    echo >&2
    echo "---- $target (whole log: $work/logs/$target.log)" >&2
    grep -E 'regression failed' "$work/logs/$target.log" >&2 || true
    if [ $smoke -eq 1 ]; then
        # The findings without their stack frames; the log has everything.
        grep -v -E '^ *#[0-9]+ |^#[0-9]+' "$work/logs/$target.log" | grep -E -A3 \
            'property failed|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|ALARM' \
            | head -40 >&2 || true
    elif [ "$artifacts" -gt 0 ]; then
        # Fork mode keeps little of each crash in the log: replay the inputs and count them by
        # the place they fail at.
        echo "inputs in $work/artifacts/$target, by what they break (count, place, example):" >&2
        find "$work/artifacts/$target" -type f | head -50 | while read -r input; do
            finding "$target" "$input"
        done | sort | awk '{ place = $1; count[place]++; if (!(place in example)) example[place] = $0 }
            END { for (p in count) printf "%6d  %s\n", count[p], example[p] }' >&2
    fi
done
exit $failed
