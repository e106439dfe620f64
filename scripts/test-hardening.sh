#!/usr/bin/env bash
# The hardening checks beyond the plain test run: the test suite under
# AddressSanitizer with UndefinedBehaviorSanitizer (the Chromium test aside),
# a bounded libFuzzer run of each fuzz target (built in the same clang tree),
# the suites whose code starts threads under ThreadSanitizer (the tsan presets
# say which), and the engine and interface suites under valgrind's memcheck.
# The Windows stress and fault suites run with the Windows build's own ctest,
# under Wine.
#
# Usage: scripts/test-hardening.sh [step...]
#   steps: asan tsan fuzz valgrind (default: all, in this order)
# Environment:
#   FUZZ_SECONDS      time per fuzz target (default 25)
#   VALGRIND_BUILD    non-sanitized build for valgrind (default build/release,
#                     configured with the release preset if it is missing)
# Exits 1 when any step failed; every step runs regardless.
set -u
cd "$(dirname "$0")/.." || exit 2

fuzz_seconds=${FUZZ_SECONDS:-25}
valgrind_build=${VALGRIND_BUILD:-build/release}
failed=()

source scripts/lib/steps.sh
trap 'steps_summary $?' EXIT
# run NAME COMMAND...: the command's own output goes straight through; the
# step ends with it, so its time and outcome are this command's.
run() {
  local name=$1
  shift
  if "$@"; then
    printf '=== %s passed\n' "$name"
    steps_end 0
  else
    printf '=== %s FAILED\n' "$name"
    failed+=("$name")
    steps_end 1
  fi
}

# Configure, build and test one sanitizer preset in build/<preset>.
sanitizer_suite() {
  local preset=$1 started=$SECONDS
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" || return 1
  echo "--- $preset built in $((SECONDS - started))s"
  ctest --preset "$preset"
}

# The fuzz targets are built in the asan tree; alone, this step builds only them.
fuzz_targets() {
  cmake --preset asan >/dev/null && cmake --build --preset fuzz || return 1
  if [[ ! -x build/asan/bin/run_config_fuzzer ]]; then
    echo "build/asan has no fuzz targets: the top-level CMakeLists.txt must add fuzz/ when QUORLIND_BUILD_FUZZERS is on"
    return 1
  fi
  local scratch status=0
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorlind-fuzz.XXXXXX") || return 1
  for target in run_config scan_text result_reader; do
    echo "--- ${target}_fuzzer for ${fuzz_seconds}s"
    mkdir -p "$scratch/$target"
    # New inputs go to the scratch directory, the first one named; the
    # committed seeds stay as they are.
    if ! build/asan/bin/${target}_fuzzer -max_total_time="$fuzz_seconds" -timeout=20 -print_final_stats=1 \
      -artifact_prefix="$scratch/" "$scratch/$target" "fuzz/corpus/$target" 2>"$scratch/$target.log"; then
      tail -n 60 "$scratch/$target.log"
      echo "--- failing input kept in $scratch"
      status=1
      continue
    fi
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$scratch/$target.log"
  done
  [[ $status -eq 0 ]] && rm -rf "$scratch"
  return $status
}

valgrind_suites() {
  command -v valgrind >/dev/null || {
    echo "valgrind is not installed"
    return 1
  }
  if [[ ! -f "$valgrind_build/CMakeCache.txt" ]]; then
    cmake --preset release -B "$valgrind_build" >/dev/null || return 1
  fi
  cmake --build "$valgrind_build" --target engine_tests ffi_internal_tests interface_tests || return 1
  local status=0 suite
  # Under memcheck the threads take turns on one core (fairly, with
  # --fair-sched) and code runs tens of times slower. Left to the other
  # builds: the seconds-long run, and the two cases that need each of three
  # busy workers to finish batches inside a window of tens of milliseconds.
  local -A filters=(
    [engine_tests]='-WorkerLoop.WorkersRunThroughWarmupAndMeasurementByHand:Coordinator.CompletedRunReportsTotalsChecksumAndAFinalEvent'
    [ffi_internal_tests]='*'
    [interface_tests]='-Run.SecondsLongRunHasAVariationConsistentWithItsSamples'
  )
  for suite in engine_tests ffi_internal_tests interface_tests; do
    echo "--- $suite under memcheck"
    valgrind --quiet --fair-sched=yes --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
      "$valgrind_build/bin/$suite" --gtest_brief=1 --gtest_filter="${filters[$suite]}" || status=1
  done
  return $status
}

steps=("$@")
[[ ${#steps[@]} -eq 0 ]] && steps=(asan tsan fuzz valgrind)
for name in "${steps[@]}"; do
  case $name in
    asan) step "asan: AddressSanitizer and UndefinedBehaviorSanitizer, the test suite (build/asan)"
      run asan sanitizer_suite asan ;;
    tsan) step "tsan: ThreadSanitizer, the threaded suites (build/tsan)"
      run tsan sanitizer_suite tsan ;;
    fuzz) step "fuzz: libFuzzer, ${fuzz_seconds}s per target (build/asan)"
      run fuzz fuzz_targets ;;
    valgrind) step "valgrind: memcheck over the engine and interface suites ($valgrind_build)"
      run valgrind valgrind_suites ;;
    *) echo "unknown step: $name (asan, tsan, fuzz, valgrind)"
      exit 2 ;;
  esac
done

echo
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "hardening FAILED: ${failed[*]}"
  exit 1
fi
echo "hardening passed"
