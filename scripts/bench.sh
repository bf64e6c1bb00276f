#!/usr/bin/env bash
# Measures Kelvane on large synthetic logs and prints each figure beside its bound.
#
#   scripts/bench.sh [--quick] [--core]
#
# Builds in Release into build-bench/, makes the logs with kelvane-genlog (once; they are reused
# while their parameters and size match) in ${KELVANE_BENCH_DIR:-/tmp/kelvane-bench}, warms the page
# cache and then, in one run:
#   - wc -l on the large log, and "kelvane-report tree" on it (wall time, best of 3 each), with
#     the peak resident memory of the latter;
#   - bench_load: the load (parse and summaries) and a Refresh (filter and tree rows), best of 3;
#   - bench_window: the window's Refresh and a change of focus to a site with about 35,000 attempts
#     (chart drawn again), on the offscreen platform, best of 3 runs of best of 5.
# --quick uses a 256 MiB log instead of 1 GiB; --core also runs the bench_core micro-benchmarks.
# The figures are ratios, so they mean something on a busy machine too; timings are noisy there.
# Exits 0 whatever the figures are (this is a report); non-zero when a step itself fails.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
bin="$build/bin"
dir="${KELVANE_BENCH_DIR:-/tmp/kelvane-bench}"

size_mb=1024
run_core=0
for arg in "$@"; do
    case "$arg" in
        --quick) size_mb=256 ;;
        --core) run_core=1 ;;
        -h|--help) sed -n '2,17p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench.sh: unknown argument '$arg' (try --help)" >&2; exit 2 ;;
    esac
done

section() {
    printf '\n==== %s ====\n' "$*"
}

fail() {
    echo "bench.sh: $*" >&2
    exit 1
}

# ---- Set-up and build ----

section "Dependencies"
bash "$root/scripts/deps.sh"
[[ -x /usr/bin/time ]] || fail "/usr/bin/time is missing (Debian package 'time'); it measures peak memory"
echo "packages ready"

section "Build build-bench/ (Release)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j2 --target kelvane-genlog kelvane-report bench_load bench_window bench_core

# ---- Logs ----

mkdir -p "$dir"

# make_log FILE GENLOG-ARGS...: writes FILE with kelvane-genlog unless it is there already from the
# same arguments with the size it had then. A note beside it keeps the arguments and the size.
make_log() {
    local file="$1"
    shift
    local note="$file.params"
    local want="$*"
    if [[ -f "$file" && -f "$note" ]]; then
        local had_args had_size
        had_args="$(sed -n 1p "$note")"
        had_size="$(sed -n 2p "$note")"
        if [[ "$had_args" == "$want" && "$had_size" == "$(stat -c %s "$file")" ]]; then
            echo "reusing $file ($had_size bytes)"
            return 0
        fi
    fi
    echo "writing $file: kelvane-genlog $want"
    rm -f "$note"
    "$bin/kelvane-genlog" "$@" -o "$file.part"
    mv "$file.part" "$file"
    printf '%s\n%s\n' "$want" "$(stat -c %s "$file")" > "$note"
}

# The first and the last day with a site header in a log generated with LF line ends, as YYYY-MM-DD.
header_date() {
    sed -n 's/^[[:space:]]*\*\*\* \[[0-9]*\] \([0-9][0-9]\)\/\([0-9][0-9]\)\/\([0-9]\{4\}\) .*/\3-\2-\1/p'
}

section "Logs in $dir"
big="$dir/sites2000-hourly-${size_mb}mb.log"
make_log "$big" --sites 2000 --interval-minutes 60 --size-mb "$size_mb" --seed 20061117
# Five sites polled every 15 minutes for a year: about 35,000 attempts each.
busy="$dir/sites5-15min-365d.log"
make_log "$busy" --sites 5 --interval-minutes 15 --days 365 --seed 20061117

big_bytes="$(stat -c %s "$big")"
start="$(head -n 50 "$big" | header_date | head -n 1)"
end="$(tail -c 65536 "$big" | header_date | tail -n 1)"
[[ -n "$start" && -n "$end" ]] || fail "cannot find the period of $big"
echo "large log: $big_bytes bytes, $start to $end"

section "Warm the page cache"
cat "$big" > /dev/null
cat "$busy" > /dev/null
echo "done"

# ---- Measurements ----

# best_of N COMMAND...: runs the command N times (its output to /dev/null); prints the shortest
# wall time in seconds. Fails when a run fails.
best_of() {
    local runs="$1"
    shift
    local best="" t0 t1 elapsed
    for ((i = 0; i < runs; i++)); do
        t0="$EPOCHREALTIME"
        "$@" > /dev/null || fail "failed: $*"
        t1="$EPOCHREALTIME"
        elapsed="$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')"
        if [[ -z "$best" ]] || awk -v x="$elapsed" -v y="$best" 'BEGIN { exit !(x < y) }'; then
            best="$elapsed"
        fi
    done
    echo "$best"
}

# value NAME: the value of a "name value" line on standard input.
value() {
    awk -v key="$1" '$1 == key { print $2; found = 1 } END { exit !found }'
}

# min_of A B ...: the smallest number.
min_of() {
    printf '%s\n' "$@" | sort -g | head -n 1
}

section "wc -l (best of 3)"
wc_s="$(best_of 3 wc -l "$big")"
echo "wc -l: $wc_s s ($(wc -l < "$big") lines)"

section "kelvane-report tree (best of 3)"
report=("$bin/kelvane-report" tree --locale en_GB --start "$start" --end "$end" --days 0 "$big")
rss_file="$(mktemp)"
err_file="$(mktemp)"
trap 'rm -f "$rss_file" "$err_file"' EXIT
tree_best=""
rss_kib=0
for run in 1 2 3; do
    t0="$EPOCHREALTIME"
    /usr/bin/time -f %M -o "$rss_file" "${report[@]}" > /dev/null || fail "kelvane-report tree failed"
    t1="$EPOCHREALTIME"
    t="$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')"
    rss="$(tail -n 1 "$rss_file")"
    echo "run $run: $t s, peak RSS $rss KiB"
    tree_best="$(min_of $t ${tree_best:+$tree_best})"
    if ((rss > rss_kib)); then rss_kib="$rss"; fi
done

section "bench_load (best of 3; Refresh best of 5 in each)"
load_best=""
refresh_best=""
for run in 1 2 3; do
    out="$("$bin/bench_load" "$big" --start "$start" --end "$end" --days 0)" || fail "bench_load failed"
    l="$(value load_seconds <<< "$out")"
    r="$(value refresh_seconds <<< "$out")"
    echo "run $run: load $l s, refresh $r s"
    load_best="$(min_of $l ${load_best:+$load_best})"
    refresh_best="$(min_of $r ${refresh_best:+$refresh_best})"
done
sites="$(value sites <<< "$out")"
attempts="$(value attempts <<< "$out")"
echo "sites $sites, attempts $attempts"

section "bench_window (offscreen; best of 3, each best of 5)"
win_refresh=""
win_focus=""
for run in 1 2 3; do
    # Qt's start-up notes go to a file, shown only when the run fails.
    out="$(QT_QPA_PLATFORM=offscreen "$bin/bench_window" "$busy" 2> "$err_file")" || {
        cat "$err_file" >&2
        fail "bench_window failed"
    }
    r="$(value refresh_ms <<< "$out")"
    f="$(value focus_ms <<< "$out")"
    echo "run $run: refresh $r ms, focus $f ms"
    win_refresh="$(min_of $r ${win_refresh:+$win_refresh})"
    win_focus="$(min_of $f ${win_focus:+$win_focus})"
done
focus_site="$(value focus_site <<< "$out")"
focus_attempts="$(value focus_attempts <<< "$out")"
focus_events="$(value focus_alarm_events <<< "$out")"
echo "focused site: $focus_site with $focus_attempts attempts and $focus_events alarm events"

if ((run_core)); then
    section "bench_core"
    "$bin/bench_core" || fail "bench_core failed"
fi

# ---- Report ----

section "Figures"
cores="$(nproc)"
awk -v wc="$wc_s" -v tree="$tree_best" -v rss="$rss_kib" -v bytes="$big_bytes" \
    -v load="$load_best" -v refresh="$refresh_best" -v wr="$win_refresh" -v wf="$win_focus" \
    -v attempts="$focus_attempts" -v mb="$size_mb" -v cores="$cores" -v sites="$sites" '
function verdict(ok) { return ok ? "PASS" : "FAIL" }
function row(name, fig, bound, ok) { printf "%-44s %-16s %-30s %s\n", name, fig, bound, verdict(ok) }
BEGIN {
    printf "log: %d MiB, %d sites, hourly; nproc %d\n\n", mb, sites, cores
    printf "%-44s %-16s %-30s %s\n", "figure", "measured", "bound", "result"
    row("load: kelvane-report tree (wall)", sprintf("%.2f s", tree),
        sprintf("<= 4 x wc -l = %.2f s", 4 * wc), tree <= 4 * wc)
    printf "%-44s %-16s %s\n", "  wc -l on the same file (wall)", sprintf("%.3f s", wc), sprintf("load / wc -l = %.1f", tree / wc)
    row("peak RSS: kelvane-report tree", sprintf("%.0f MiB", rss / 1024),
        sprintf("<= 0.3 x log = %.0f MiB", 0.3 * bytes / 1048576), rss * 1024 <= 0.3 * bytes)
    printf "%-44s %-16s %s\n", "  load: bench_load (parse + summaries)", sprintf("%.2f s", load), ""
    row("refresh: bench_load (filter + tree rows)", sprintf("%.4f s", refresh),
        sprintf("<= 5%% of load %.2f s = %.3f s", load, 0.05 * load), refresh <= 0.05 * load)
    row("window refresh (bench_window)", sprintf("%.2f ms", wr), "< 50 ms", wr < 50)
    row(sprintf("focus change, %d attempts (bench_window)", attempts), sprintf("%.2f ms", wf), "< 50 ms", wf < 50)
}'
