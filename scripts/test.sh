#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test suite: native,
# Windows under Wine, packaging, release packages, sanitizers, fuzzing,
# valgrind and a quick pass of the benchmarks. Ends with the native CTest
# summary and the time each step took.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/dependencies.sh
ensure_packages "${TEST_PACKAGES[@]}"
source scripts/lib/steps.sh
trap 'steps_summary $?' EXIT

# Wine keeps its prefix inside the build tree, away from the user's own.
export WINEPREFIX="$PWD/build/wineprefix"
export WINEDEBUG=-all

step "Code style"
scripts/check-style.sh

step "Native build"
cmake --preset release
cmake --build --preset release

step "Windows build"
cmake --preset windows
cmake --build --preset windows

step "Windows tests under Wine"
ctest --preset windows

step "Packaging: install, examples, Python binding"
scripts/test-packaging.sh build/release

step "Release packages: Windows zip, Debian packages, Python wheel"
scripts/test-release.sh build/release build/windows

step "Hardening: sanitizers, fuzzing, valgrind"
scripts/test-hardening.sh

# In the release and windows trees, already built.
step "Benchmarks, once each, briefly"
scripts/bench.sh --quick

step "Native tests"
ctest --preset release
