#!/usr/bin/env bash
# Builds the library and quorlind-bench, then runs a benchmark with the
# library's defaults (120 s warm-up, 60 s measurement). Extra arguments go to
# quorlind-bench, e.g. --warmup 2 --measure 5 or --threads all.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/dependencies.sh
ensure_packages "${BUILD_PACKAGES[@]}"

cmake --preset release -DQUORLIND_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release --target quorlind-bench
echo "Library: $(readlink -f build/release/lib/libquorlind.so)"
exec build/release/bin/quorlind-bench "$@"
