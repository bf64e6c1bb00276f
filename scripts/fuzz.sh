#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one for a while on a
# temporary copy of its corpus (fuzz/corpus/<target>/), one process per target. Prints per target
# the executions and the findings; crash, leak, timeout and out-of-memory inputs are moved into
# fuzz/findings/<target>/, from where they can be replayed with build-fuzz/bin/fuzz_replay.
#
#   scripts/fuzz.sh [--merge] [--jobs=N] [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 60; TARGET is parser, commatext, datetime, reports, linereader or
# parallel (all by default). --merge adds the inputs that found new coverage to
# fuzz/corpus/<target>/. --jobs=N runs N fuzzing processes per target side by side (default 1).
# Exits 1 when any target had a finding.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
all_targets=(parser commatext datetime reports linereader parallel)

merge=0
jobs=1
seconds=60
targets=()
for arg in "$@"; do
    case "$arg" in
        --merge) merge=1 ;;
        --jobs=*) jobs="${arg#--jobs=}" ;;
        -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
        *[!0-9]*) targets+=("$arg") ;;
        *) seconds="$arg" ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
    case " ${all_targets[*]} " in
        *" $t "*) ;;
        *) echo "unknown fuzz target: $t (one of: ${all_targets[*]})" >&2; exit 2 ;;
    esac
done

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELVANE_FUZZ=ON -DKELVANE_CORE_ONLY=ON -DKELVANE_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzz}" fuzz_replay

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

found=0
summary=()
for t in "${targets[@]}"; do
    work="$(mktemp -d "${TMPDIR:-/tmp}/kelvane-fuzz-$t.XXXXXX")"
    mkdir -p "$work/corpus" "$work/artifacts"
    if [ -d "$root/fuzz/corpus/$t" ]; then cp -R "$root/fuzz/corpus/$t/." "$work/corpus/"; fi

    echo "== $t: ${seconds}s"
    # With -jobs the run happens in a child process that logs to fuzz-0.log in the working directory;
    # the parent repeats that log in its own output, so the statistics are read from the child's log.
    (cd "$work" && "$build/bin/${t}_fuzz" -jobs="$jobs" -workers="$jobs" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" corpus >"$work/run.log" 2>&1) || true
    logs=("$work"/fuzz-*.log)
    [ -e "${logs[0]}" ] || logs=("$work/run.log")
    execs="$(awk '/stat::number_of_executed_units/ { n += $2 } END { print n + 0 }' "${logs[@]}")"

    findings=()
    for f in "$work"/artifacts/crash-* "$work"/artifacts/leak-* "$work"/artifacts/timeout-* "$work"/artifacts/oom-*; do
        [ -e "$f" ] || continue
        mkdir -p "$root/fuzz/findings/$t"
        mv "$f" "$root/fuzz/findings/$t/"
        findings+=("fuzz/findings/$t/$(basename "$f")")
    done
    if [ ${#findings[@]} -gt 0 ]; then
        found=1
        cp "$work"/fuzz-*.log "$root/fuzz/findings/$t/" 2>/dev/null || true
        grep -h -m3 -E "ERROR:|property failed|runtime error" "${logs[@]}" 2>/dev/null || true
    fi

    if [ "$merge" = 1 ]; then
        mkdir -p "$root/fuzz/corpus/$t"
        (cd "$work" && "$build/bin/${t}_fuzz" -merge=1 -max_len=4096 -timeout=10 "$root/fuzz/corpus/$t" corpus \
            >"$work/merge.log" 2>&1) || echo "$t: merge failed, see $work/merge.log"
    fi

    summary+=("$(printf '%-11s executions %12s   findings %s' "$t" "$execs" "${findings[*]:-none}")")
    [ ${#findings[@]} -gt 0 ] || rm -rf "$work"
done

echo
printf '%s\n' "${summary[@]}"
exit "$found"
