#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Mutation run: plants the small faults listed in scripts/mutants.txt one at a time into a scratch
# copy of the sources, builds the copy and runs the quick suite against each, and prints which
# faults the suite caught (and with which test), which survived, and the score. Run by hand, not
# by CI; the bench is left alone, it is the oracle the suite checks against.
#
#   scripts/mutation.sh                  every mutant of the list
#   scripts/mutation.sh --only a,b       only the mutants named a and b
#   scripts/mutation.sh --check          only check that every mutant still applies to the sources
#   scripts/mutation.sh --list FILE      another list
#
# The scratch copy and its build live in $GPIBCONFIG_MUTATION_DIR (default
# /tmp/gpibconfig-mutation) and are kept between runs, so a later run builds incrementally. The
# worktree's own files are never changed. GPIBCONFIG_MUTATION_JOBS (2) sets the build and test
# parallelism, GPIBCONFIG_MUTATION_TIMEOUT (120) the limit in seconds of one test: a mutant that
# makes a test hang counts as caught when the limit ends it. GPIBCONFIG_MUTATION_TESTS, a CTest
# regular expression, narrows the suite after the unit tests to the tests it matches (mutants of
# one part checked against that part's tests, e.g. "prologix|ar488").
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
list="$root/scripts/mutants.txt"
only=""
check_only=0
while [ $# -gt 0 ]; do
    case "$1" in
    --list) list="$2"; shift 2 ;;
    --only) only=",$2,"; shift 2 ;;
    --check) check_only=1; shift ;;
    *) echo "usage: $0 [--list FILE] [--only NAME,...] [--check]" >&2; exit 2 ;;
    esac
done

work="${GPIBCONFIG_MUTATION_DIR:-/tmp/gpibconfig-mutation}"
jobs="${GPIBCONFIG_MUTATION_JOBS:-2}"
limit="${GPIBCONFIG_MUTATION_TIMEOUT:-120}"
narrow=()
[ -z "${GPIBCONFIG_MUTATION_TESTS:-}" ] || narrow=(-R "$GPIBCONFIG_MUTATION_TESTS")
tree="$work/tree"
build="$tree/build/default"
logs="$work/logs"

# ----- the list --------------------------------------------------------------------------------
# Records of "key: value" lines separated by blank lines; "# ..." lines are comments. Keys: mutant
# (a short name of the fault), file, from (the exact original text, found exactly once), to (its
# replacement), and equivalent (why no test can tell the mutant from the program) for mutants
# that are expected to survive. In from and to, {NL} stands for a line break.
names=() files=() froms=() tos=() equivs=()
flush() {
    if [ -n "$m_name" ]; then
        names+=("$m_name") files+=("$m_file") froms+=("$m_from") tos+=("$m_to") equivs+=("$m_equiv")
    fi
    m_name="" m_file="" m_from="" m_to="" m_equiv=""
}
m_name="" m_file="" m_from="" m_to="" m_equiv=""
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
    '#'*) continue ;;
    '') flush; continue ;;
    esac
    key="${line%%:*}"
    value="${line#*:}"
    value="${value# }"
    value="${value//\{NL\}/$'\n'}"
    case "$key" in
    mutant) flush; m_name="$value" ;;
    file) m_file="$value" ;;
    from) m_from="$value" ;;
    to) m_to="$value" ;;
    equivalent) m_equiv="$value" ;;
    *) echo "$list: unknown key in: $line" >&2; exit 2 ;;
    esac
done <"$list"
flush

selected() { [ -z "$only" ] || [[ "$only" == *",$1,"* ]]; }

# A name given to --only that the list does not have would silently measure nothing.
if [ -n "$only" ]; then
    IFS=, read -r -a wanted <<<"${only:1:${#only}-2}"
    for w in "${wanted[@]}"; do
        [ -n "$w" ] || continue
        [[ " ${names[*]} " == *" $w "* ]] || { echo "no mutant named $w in $list" >&2; exit 2; }
    done
fi

# Replaces the one occurrence of $2 in file $1 by $3; fails when it occurs not exactly once. With
# $4 = check, only says whether it would. Perl (part of every Debian system) rather than bash's
# own pattern matching, which takes seconds per file: --check runs in the quick test command.
apply() {
    MUTANT_FROM="$2" MUTANT_TO="$3" MUTANT_CHECK="${4:-}" perl -e '
        my $file = shift;
        open(my $in, "<:raw", $file) or do { print "unreadable"; exit 1 };
        local $/;
        my $content = <$in>;
        close($in);
        my ($from, $to) = ($ENV{MUTANT_FROM}, $ENV{MUTANT_TO});
        my $at = index($content, $from);
        if ($from eq "" || $at < 0) { print "not found"; exit 1 }
        if (index($content, $from, $at + length($from)) >= 0) { print "found more than once"; exit 1 }
        exit 0 if $ENV{MUTANT_CHECK} eq "check";
        substr($content, $at, length($from)) = $to;
        open(my $out, ">:raw", $file) or do { print "unwritable"; exit 1 };
        print $out $content;
        close($out) or exit 1;' "$1"
}

# Every mutant must still apply to the current sources: a list gone stale after a change in src/
# says so here instead of counting as a survivor.
stale=0
declare -A seen=()
for i in "${!names[@]}"; do
    selected "${names[$i]}" || continue
    if [ -n "${seen[${names[$i]}]:-}" ]; then
        echo "mutant ${names[$i]} is named twice" >&2
        stale=1
    fi
    seen[${names[$i]}]=1
    if [ "${froms[$i]}" = "${tos[$i]}" ]; then
        echo "mutant ${names[$i]} changes nothing" >&2
        stale=1
    elif ! why="$(apply "$root/${files[$i]}" "${froms[$i]}" "${tos[$i]}" check)"; then
        echo "stale mutant ${names[$i]}: its text in ${files[$i]} was $why" >&2
        stale=1
    fi
done
[ "$stale" = 0 ] || exit 2
if [ "$check_only" = 1 ]; then
    echo "all ${#names[@]} mutants apply"
    exit 0
fi

# ----- the scratch copy --------------------------------------------------------------------------
# Only files whose content differs are copied, with a fresh time stamp, so the build stays
# incremental and never keeps an object compiled from a mutant.
mkdir -p "$tree" "$logs"
(cd "$root" && git ls-files -z --cached --others --exclude-standard) |
    while IFS= read -r -d '' f; do
        [ -f "$root/$f" ] || continue
        if ! cmp -s "$root/$f" "$tree/$f"; then
            mkdir -p "$(dirname "$tree/$f")"
            cp "$root/$f" "$tree/$f"
        fi
    done
# A run stopped midway may have left a mutant in place.
for i in "${!names[@]}"; do
    cmp -s "$root/${files[$i]}" "$tree/${files[$i]}" || cp "$root/${files[$i]}" "$tree/${files[$i]}"
done

cd "$tree"
export QT_QPA_PLATFORM=offscreen
cmake --preset default >"$logs/configure.log" 2>&1 || { cat "$logs/configure.log"; exit 1; }

unit_tests="$build/tests/unit/gpibconfig_unit_tests"
# The quick suite: the unit tests first, in one process and built alone, since they catch most
# mutants within seconds; then everything built and the whole suite run through CTest, stopping
# at the first failure. Prints what caught the mutant, nothing when the suite passed, and
# "no build" when the sources did not compile.
run_suite() {
    local log="$1" failed
    if ! cmake --build --preset default --parallel "$jobs" --target gpibconfig_unit_tests \
        >"$log.build" 2>&1; then
        echo "no build"
        return
    fi
    if ! timeout "$limit" "$unit_tests" --gtest_brief=1 >"$log.unit" 2>&1; then
        failed="$(grep -o '^\[  FAILED  \] [A-Za-z0-9_/.]*' "$log.unit" | sed 's/^\[  FAILED  \] //' |
            sort -u | head -3 | paste -sd ' ' - || true)"
        echo "unit: ${failed:-the unit tests ended abnormally (crash or time limit)}"
        return
    fi
    if ! cmake --build --preset default --parallel "$jobs" >>"$log.build" 2>&1; then
        echo "no build"
        return
    fi
    # Without the timings of earlier runs CTest keeps the suites' own order, unit and widget
    # tests before whole runs, so the failure reported is the narrowest one.
    rm -f "$build/Testing/Temporary/CTestCostData.txt"
    if ! ctest --preset default "${narrow[@]}" --parallel "$jobs" --timeout "$limit" --stop-on-failure \
        >"$log.ctest" 2>&1; then
        failed="$(awk '/The following tests FAILED/ { f = 1; next }
                       f && /^[[:space:]]*[0-9]+ - / { sub(/^[[:space:]]*[0-9]+ - /, ""); print }' \
            "$log.ctest" | head -3 | paste -sd ' ' - || true)"
        echo "suite: ${failed:-ctest ended abnormally, see $log.ctest}"
    fi
}

start=$(date +%s)
echo "building the scratch copy in $tree"
cmake --build --preset default --parallel "$jobs" >"$logs/build.log" 2>&1 ||
    { tail -40 "$logs/build.log"; exit 1; }
baseline="$(run_suite "$logs/baseline")"
if [ -n "$baseline" ]; then
    echo "the suite fails without any mutant ($baseline); nothing to measure" >&2
    exit 1
fi
echo "suite passes unmutated ($(($(date +%s) - start)) s with the build)"

killed=0 survived=0 equivalent=0 broken=0 total=0
survivors=()
for i in "${!names[@]}"; do
    name="${names[$i]}" file="${files[$i]}"
    selected "$name" || continue
    total=$((total + 1))
    t0=$(date +%s)
    apply "$tree/$file" "${froms[$i]}" "${tos[$i]}" >/dev/null
    caught="$(run_suite "$logs/$name")"
    dt=$(($(date +%s) - t0))
    if [ "$caught" = "no build" ]; then
        broken=$((broken + 1))
        printf 'no build    %-40s (see %s)\n' "$name" "$logs/$name.build"
    elif [ -n "$caught" ] && [ -n "${equivs[$i]}" ]; then
        # Marked equivalent yet caught: the mark is wrong, so it counts as an ordinary mutant.
        killed=$((killed + 1))
        printf 'killed      %-40s %4ss  %s (marked equivalent: remove the mark)\n' "$name" "$dt" \
            "$caught"
    elif [ -n "$caught" ]; then
        killed=$((killed + 1))
        printf 'killed      %-40s %4ss  %s\n' "$name" "$dt" "$caught"
    elif [ -n "${equivs[$i]}" ]; then
        equivalent=$((equivalent + 1))
        printf 'equivalent  %-40s %4ss  %s\n' "$name" "$dt" "${equivs[$i]}"
    else
        survived=$((survived + 1))
        survivors+=("$name ($file)")
        printf 'SURVIVED    %-40s %4ss\n' "$name" "$dt"
    fi
    cp "$root/$file" "$tree/$file"
done
# Leave the copy built as the sources are, so the next run starts from a clean build.
cmake --build --preset default --parallel "$jobs" >"$logs/build.log" 2>&1 || true

counted=$((killed + survived))
echo
echo "mutants=$total killed=$killed survived=$survived equivalent=$equivalent no-build=$broken" \
    "in $(($(date +%s) - start)) s"
if [ "$counted" -gt 0 ]; then
    echo "score: $((100 * killed / counted)) % of the non-equivalent mutants" \
        "($((100 * killed / (counted + equivalent))) % of all that built)"
fi
if [ "${#survivors[@]}" -gt 0 ]; then
    echo "survivors:"
    printf '  %s\n' "${survivors[@]}"
    exit 1
fi
