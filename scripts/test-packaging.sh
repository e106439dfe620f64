#!/usr/bin/env bash
# Checks what hosts receive from an installed tree: installs a native build
# into a temporary prefix, away from where it was configured to go, builds and
# runs the example hosts against it (CMake package and pkg-config) and runs the
# Python binding's tests on the installed library. What the Windows zip and
# the Debian packages hand out, exports included, is scripts/test-release.sh's.
#
# Usage: scripts/test-packaging.sh [native-build-dir]
#        (default build/release, already built)
# Prints one PASS/FAIL/SKIP line per check; exits 1 when any check failed.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD
native=${1:-build/release}

work=$(mktemp -d "${TMPDIR:-/tmp}/quorlind-packaging.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
export PYTHONDONTWRITEBYTECODE=1 WINEDEBUG=-all

source scripts/lib/checks.sh

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
version=$(header_version)

if [ ! -f "$native/CMakeCache.txt" ]; then
  fail "native build directory $native (build it first)"
  exit 1
fi
prefix=$work/prefix
check "cmake --install $native" cmake --install "$native" --prefix "$prefix"
library=$(find "$prefix" -name "libquorlind.so.1" | head -n 1)
if [ -z "$library" ]; then
  fail "libquorlind.so.1 installed under the prefix"
  exit 1
fi
libdir=$(dirname "$library")

library_chain() {
  [ "$(readlink "$libdir/libquorlind.so")" = libquorlind.so.1 ] &&
    [ "$(readlink "$libdir/libquorlind.so.1")" = "libquorlind.so.$version" ] &&
    [ -f "$libdir/libquorlind.so.$version" ] && [ ! -L "$libdir/libquorlind.so.$version" ] &&
    readelf -d "$libdir/libquorlind.so.$version" | grep -q 'SONAME.*\[libquorlind\.so\.1\]'
}
check "libquorlind.so -> libquorlind.so.1 -> libquorlind.so.$version, soname libquorlind.so.1" library_chain
check "installed quorlind.h is the source header" cmp include/quorlind.h "$prefix/include/quorlind.h"

# find_package honours the version file: same minor version only.
package_version() { # REQUESTED EXPECTED-FOUND
  local dir=$work/version-$1
  mkdir -p "$dir"
  printf '%s\n' 'cmake_minimum_required(VERSION 3.16)' 'project(probe NONE)' \
    "find_package(quorlind $1 CONFIG)" 'message(STATUS "found=${quorlind_FOUND}")' >"$dir/CMakeLists.txt"
  cmake -S "$dir" -B "$dir/build" -DCMAKE_PREFIX_PATH="$prefix" | grep -q "found=$2"
}
for requested in "$version" 0.0.0; do
  check "find_package(quorlind $requested) accepts $version" package_version "$requested" 1
done
for requested in 0.1 1.0; do
  check "find_package(quorlind $requested) refuses $version" package_version "$requested" 0
done

# build_example NAME SOURCE-DIR CMAKE-ARGS...: configure and build a consumer.
build_example() {
  local name=$1 source=$2
  shift 2
  cmake -S "$source" -B "$work/$name" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release "$@" &&
    cmake --build "$work/$name"
}
check "C example builds with find_package" build_example c examples/c -DCMAKE_PREFIX_PATH="$prefix"
check "C example runs" run_example "$work/c/minimal" 0.2
check "C++ example builds with find_package" build_example cpp examples/cpp -DCMAKE_PREFIX_PATH="$prefix"
check "C++ example runs (single)" run_example "$work/cpp/host" 0.2
check "C++ example runs (all processors)" run_example "$work/cpp/host" 0.2 all

export PKG_CONFIG_PATH="$libdir/pkgconfig"
check "pkg-config --modversion quorlind is $version" \
  bash -c '[ "$(pkg-config --modversion quorlind)" = "$1" ]' _ "$version"
check "C example builds with pkg-config (make)" make -C examples/c OUT="$work/pc-minimal"
run_without_rpath() (
  export LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  run_example "$@"
)
check "C example built with pkg-config runs" run_without_rpath "$work/pc-minimal" 0.2
unset PKG_CONFIG_PATH

python_tests() {
  QUORLIND_LIBRARY=$library python3 -m unittest discover -s python/tests 2>&1 | tee "$work/python.txt"
  # Every test must have run: a skip means the library was not found.
  [ "${PIPESTATUS[0]}" -eq 0 ] && tail -n 1 "$work/python.txt" | grep -qx OK
}
check "Python tests against the installed library" python_tests

if [ "$failures" -ne 0 ]; then
  echo "FAIL: $failures packaging check(s) failed"
  exit 1
fi
echo "PASS: all packaging checks"
