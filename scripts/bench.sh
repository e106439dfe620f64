#!/usr/bin/env bash
# Builds and runs the benchmarks of the kernel (Google Benchmark, natively) and
# of the harness's own cost (natively and, where the mingw-w64 toolchain and
# Wine are present, as a Windows program under Wine); then prints one table:
# figure, value, target, and whether the target was met.
#
# Usage: scripts/bench.sh [--quick]
#   --quick  runs each benchmark once, briefly (a few seconds in all), only to
#            keep them working: its figures mean little.
# Timings never fail the script; it exits non-zero only when something does
# not build, crashes or accepts a malformed option, or the reference kernel
# disagrees with the library's.
# They are built in the release and windows presets' trees, beside the tests;
# raw output goes to build/release/bench-logs/.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
case "${1:-}" in
    "") ;;
    --quick) quick=1 ;;
    *) echo "usage: scripts/bench.sh [--quick]" >&2; exit 2 ;;
esac

native=build/release
windows=build/windows
logs=$native/bench-logs
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}" WINEDEBUG=-all
source scripts/lib/steps.sh
trap 'steps_summary $?' EXIT

step "Native build ($native)"
cmake --preset release >/dev/null
cmake --build --preset release --target kernel_bench quorlind_figures load_sampler_bench
mkdir -p "$logs"

have_windows=0
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
    step "Windows build ($windows)"
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target quorlind_figures
    have_windows=1
else
    echo "(no mingw-w64 toolchain or no Wine: the Windows figures are skipped)"
fi

# A number that does not parse is a usage error, never a silent default.
status=0
"$native/bin/quorlind_figures" --rounds abc 2>/dev/null || status=$?
if [ "$status" != 2 ]; then
    echo "quorlind_figures --rounds abc exited with $status, not 2 (usage error)" >&2
    exit 1
fi

# Repetitions interleave the benchmarks, so a disturbance from another process
# hits all of them alike; the table takes each one's fastest repetition.
figure_args=()
gbench_args=(--benchmark_min_time=0.1 --benchmark_repetitions=15 --benchmark_enable_random_interleaving=true
    --benchmark_report_aggregates_only=true)
if [ "$quick" = 1 ]; then
    figure_args=(--quick)
    gbench_args=(--benchmark_min_time=0.01)
fi

step "Kernel micro-benchmarks (Google Benchmark)"
"$native/bin/kernel_bench" "${gbench_args[@]}" --benchmark_out="$logs/kernel_bench.json" \
    --benchmark_out_format=json 2>&1 | tee "$logs/kernel_bench.txt"
# "name value" lines, nanoseconds of wall time: the "_min" aggregate, or the
# one repetition that --quick makes.
python3 - "$logs/kernel_bench.json" >"$logs/kernel-figures.txt" <<'EOF'
import json
import sys

names = {"BM_RunKernel": "kernel_ns", "BM_ReferenceRunKernel": "reference_kernel_ns", "BM_Premix": "premix_ns",
         "BM_ScanText": "scan_ns", "BM_ReferenceScanText": "reference_scan_ns", "BM_WalkTable": "walk_ns",
         "BM_GenerateWorkload": "generate_ns", "BM_ScanManyTexts": "scan_many_texts_ns",
         "BM_ReferenceScanManyTexts": "reference_scan_many_texts_ns"}
per_unit = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
figures = {}
for run in json.load(open(sys.argv[1]))["benchmarks"]:
    if run["run_name"] in names and run.get("aggregate_name", "min") == "min":
        figures[names[run["run_name"]]] = run["real_time"] * per_unit[run["time_unit"]]
for name, value in figures.items():
    print(name, value)
print("kernel_vs_reference", figures["kernel_ns"] / figures["reference_kernel_ns"])
EOF

step "Load sampler readings (Google Benchmark)"
"$native/bin/load_sampler_bench" "${gbench_args[@]}" --benchmark_out="$logs/load_sampler_bench.json" \
    --benchmark_out_format=json 2>&1 | tee "$logs/load_sampler_bench.txt"
# "name value" lines: the sampling's processor time per second, as a share of one core.
python3 - "$logs/load_sampler_bench.json" >"$logs/load-figures.txt" <<'EOF'
import json
import sys

names = {"BM_SampleThisProcess/2": "sampling_2_workers", "BM_SampleThisProcess/256": "sampling_256_workers",
         "BM_SampleRecordedTree/256": "sampling_256_recorded"}
for run in json.load(open(sys.argv[1]))["benchmarks"]:
    if run["run_name"] in names and run.get("aggregate_name", "min") == "min":
        print(names[run["run_name"]], run["core_share"])
EOF

step "Harness figures, native"
"$native/bin/quorlind_figures" "${figure_args[@]}" | tee "$logs/figures-native.txt"

# Timing cannot resolve a fraction of a percent on a busy machine; counting
# instructions can. The share of the worker loop's instructions spent in the
# kernel, from one kind 1 run under callgrind.
have_valgrind=0
if command -v valgrind >/dev/null && command -v callgrind_annotate >/dev/null; then
    step "Worker loop instructions (callgrind)"
    rm -f "$logs"/callgrind.out*
    valgrind --tool=callgrind --separate-threads=yes --callgrind-out-file="$logs/callgrind.out" \
        "$native/bin/quorlind_figures" --single-run --seconds "$([ "$quick" = 1 ] && echo 0.2 || echo 2)" \
        2>"$logs/callgrind-valgrind.txt" | tee "$logs/callgrind-run.txt"
    # Inclusive counts of the measuring loop and of the kernel calls within it.
    for file in "$logs"/callgrind.out-*; do
        callgrind_annotate --inclusive=yes --threshold=100 "$file"
    done | awk '
        { count = $1; gsub(/,/, "", count) }
        /detail::measure</ { loop += count }
        /:quorlind::run_kernel\(/ { kernel += count }
        END { if (loop > 0) { print "loop_instructions", loop; print "kernel_instructions", kernel;
                               print "kernel_share", kernel / loop } }' | tee "$logs/callgrind.txt"
    have_valgrind=1
fi

if [ "$have_windows" = 1 ]; then
    step "Harness figures, quorlind.dll under Wine"
    # One process start of Wine costs seconds; everything runs in that one.
    wine "$windows/bin/quorlind_figures.exe" "${figure_args[@]}" --only overhead \
        | tr -d '\r' | tee "$logs/figures-wine.txt"
fi

# "name value" lines of a figures log; "" when absent.
value() { awk -v name="$2" '$1 == name { print $2 }' "$logs/$1" 2>/dev/null | tail -n 1; }
# met EXPRESSION-over-v VALUE: "yes", "no", or "-" without a value.
met() { [ -n "$2" ] && awk -v v="$2" "BEGIN { print (($1) ? \"yes\" : \"no\") }" || echo "-"; }
row() { printf '%-48s %14s  %-18s %s\n' "$1" "${2:--}" "$3" "$4"; }
fmt() { if [ -n "$2" ]; then awk -v v="$2" "BEGIN { printf \"$1\", v }"; fi; }

k=kernel-figures.txt
n=figures-native.txt
w=figures-wine.txt
batch=$(value $n batch_ms)
cancel_target=$(awk -v b="${batch:-0}" 'BEGIN { printf "%.1f", 15 + b }')

step "Results$([ "$quick" = 1 ] && echo ' (--quick: figures too brief to judge)')"
row "figure" "value" "target" "met"
row "kernel call, ns" "$(fmt %.0f "$(value $k kernel_ns)")" "" ""
row "  reference kernel call, ns" "$(fmt %.0f "$(value $k reference_kernel_ns)")" "" ""
v=$(value $k kernel_vs_reference)
row "  kernel / reference kernel" "$(fmt %.3f "$v")" "<= 1.000" "$(met 'v <= 1.0' "$v")"
row "  pre-mix, ns" "$(fmt %.0f "$(value $k premix_ns)")" "" ""
row "  scan, ns" "$(fmt %.0f "$(value $k scan_ns)")" "" ""
row "  reference scan, ns" "$(fmt %.0f "$(value $k reference_scan_ns)")" "" ""
row "  walk, ns" "$(fmt %.0f "$(value $k walk_ns)")" "" ""
row "workload generation, ns" "$(fmt %.0f "$(value $k generate_ns)")" "" ""
v=$(value $n library_vs_bare)
row "kind 1 ops/s / bare loop ops/s (best rounds)" "$(fmt %.4f "$v")" ">= 0.995" "$(met 'v >= 0.995' "$v")"
row "  median of paired rounds" "$(fmt %.4f "$(value $n library_vs_bare_median)")" "" ""
row "  median of paired rounds, per CPU-second" "$(fmt %.4f "$(value $n library_vs_bare_cpu_median)")" "" ""
if [ "$have_valgrind" = 1 ]; then
    v=$(value callgrind.txt kernel_share)
    row "kind 1 worker loop instructions in the kernel" "$(fmt %.5f "$v")" ">= 0.995" "$(met 'v >= 0.995' "$v")"
fi
v=$(value $n per_worker_scaling)
row "kind 2 per worker / kind 1, $(value $n workers) workers (best)" "$(fmt %.3f "$v")" ">= 0.95" \
    "$(met 'v >= 0.95' "$v")"
row "  median of paired rounds" "$(fmt %.3f "$(value $n per_worker_scaling_median)")" "" ""
row "  median of paired rounds, per CPU-second" "$(fmt %.3f "$(value $n per_worker_scaling_cpu_median)")" "" ""
v=$(value $n coordinator_cpu)
row "calling thread CPU during kind 1, % of wall" "$(fmt %.3f "$(awk -v v="${v:-0}" 'BEGIN { print v * 100 }')")" \
    "< 0.5" "$(met 'v < 0.005' "$v")"
l=load-figures.txt
percent() { awk -v v="${1:-0}" 'BEGIN { printf "%.4f", v * 100 }'; }
v=$(value $l sampling_2_workers)
row "load sampling, 2 workers, % of a core" "$([ -n "$v" ] && percent "$v")" "< 0.1" "$(met 'v < 0.001' "$v")"
v=$(value $l sampling_256_workers)
row "load sampling, 256 workers, % of a core" "$([ -n "$v" ] && percent "$v")" "< 1" "$(met 'v < 0.01' "$v")"
v=$(value $l sampling_256_recorded)
row "  256 workers' recorded files, % of a core" "$([ -n "$v" ] && percent "$v")" "< 1" "$(met 'v < 0.01' "$v")"
v=$(value $n cancel_ms_max)
row "cancel to return, ms (max)" "$(fmt %.2f "$v")" "< $cancel_target (15 + batch)" \
    "$(met "v < $cancel_target" "$v")"
v=$(value $n overshoot_ms_max)
row "run beyond its lengths and build, ms (max)" "$(fmt %.2f "$v")" "< 15" "$(met 'v < 15' "$v")"
if [ "$have_windows" = 1 ]; then
    wk=$(value $w bare_kernel_ns)
    row "Wine: kernel call in the bare loop, ns (best)" "$(fmt %.0f "$wk")" "" ""
    v=$(awk -v a="$wk" -v b="$(value $n bare_kernel_ns)" 'BEGIN { if (a && b) print a / b }')
    row "Wine / native: kernel call in the bare loop" "$(fmt %.3f "$v")" "0.95 .. 1.05" \
        "$(met 'v >= 0.95 && v <= 1.05' "$v")"
    v=$(value $w library_vs_bare)
    row "Wine: kind 1 ops/s / bare loop ops/s (best)" "$(fmt %.4f "$v")" ">= 0.995" "$(met 'v >= 0.995' "$v")"
    v=$(awk -v a="$(value $w library_best_ops_per_second)" -v b="$(value $n library_best_ops_per_second)" \
        'BEGIN { if (a && b) print a / b }')
    row "Wine / native: kind 1 ops/s (best)" "$(fmt %.3f "$v")" "0.95 .. 1.05" "$(met 'v >= 0.95 && v <= 1.05' "$v")"
    v=$(value $w coordinator_cpu)
    row "Wine: calling thread CPU, % of wall" "$(fmt %.3f "$(awk -v v="${v:-0}" 'BEGIN { print v * 100 }')")" \
        "< 0.5" "$(met 'v < 0.005' "$v")"
else
    row "Wine figures" "skipped" "" ""
fi
echo
echo "Machine: $(lscpu 2>/dev/null | awk -F: '/^Model name/ { gsub(/^ +/, "", $2); print $2 }'), $(nproc) logical processors"
echo "Logs: $logs"
