#!/usr/bin/env bash
# Builds the library and quorlind-bench, then runs a benchmark with the
# library's defaults (120 s warm-up, 60 s measurement). Extra arguments go to
# quorlind-bench, e.g. --warmup 2 --measure 5 or --threads all. The build has
# a tree of its own, build/benchmark, so that it and the test command never
# reconfigure each other's.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/dependencies.sh
ensure_packages "${BUILD_PACKAGES[@]}"

cmake --preset benchmark >/dev/null
cmake --build --preset benchmark
echo "Library: $(readlink -f build/benchmark/lib/libquorlind.so)"
exec build/benchmark/bin/quorlind-bench "$@"
