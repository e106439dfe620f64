#!/usr/bin/env bash
# Checks the code style of every C and C++ source: the layout against
# .clang-format, the host's includes against host/layers.txt, and the rules in .clang-tidy (braces, names, and the checks
# that catch real faults), where any finding fails. The sources Linux builds
# are read as clang compiles them here; the Windows-only ones as mingw-w64
# compiles them, through clang's Windows target. Only configures (in
# build/style), never builds.
#
# Usage: scripts/check-style.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux=build/style/linux
windows=build/style/windows
database="python3 scripts/lib/compile_database.py"

sources=$(git ls-files 'native/*' 'host/*' 'tests/*' 'bench/*' 'fuzz/*' 'examples/*' | grep -E '\.(c|cpp|h)$')

echo "clang-format"
xargs clang-format --dry-run -Werror <<<"$sources"

# clang-format keeps a block that holds only another block; an automatic
# brace fix once buried bounds checks twenty blocks deep.
echo "nested empty blocks"
xargs awk 'FNR == 1 { open = 0 }
           /^[ \t]*\{[ \t]*$/ { if (open) { print FILENAME ":" FNR ": a block that only opens another block"; found = 1 }
                                 open = 1; next }
           { open = 0 }
           END { exit found }' <<<"$sources"

echo "host folders"
python3 scripts/lib/check_host_includes.py

echo "clang-tidy"
CC=clang CXX=clang++ cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DQUORLIND_BUILD_BENCHMARKS=ON -DQUORLIND_BUILD_FUZZERS=ON >/dev/null
cmake -S . -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DQUORLIND_BUILD_BENCHMARKS=ON >/dev/null
$database for-clang "$windows/compile_commands.json"

# Headers count only where they are ours, wherever the checkout lives.
tidy=(clang-tidy --quiet --warnings-as-errors='*' --header-filter="^$root/(native|host|tests|bench|fuzz|examples)/")
# The tests are held to the brace and naming rules only: the fault checks,
# run over every expansion of the test framework's macros, would more than
# double the time this takes.
tests_tidy=("${tidy[@]}" --checks='-*,readability-braces-around-statements,readability-identifier-naming')
status=0
check() {  # check BUILD_DIR [BUILD_DIR_TO_LEAVE_OUT]
    local sources
    sources=$($database sources "$1/compile_commands.json" ${2:+--except "$2/compile_commands.json"})
    awk -v tests="$root/tests/" 'index($0, tests) != 1' <<<"$sources" | xargs -r -P "$(nproc)" -n 4 "${tidy[@]}" -p "$1" || status=1
    awk -v tests="$root/tests/" 'index($0, tests) == 1' <<<"$sources" | xargs -r -P "$(nproc)" -n 4 "${tests_tidy[@]}" -p "$1" || status=1
}
check "$linux"
check "$windows" "$linux"
# The examples build against an installed package, so they have no database.
"${tidy[@]}" examples/c/minimal.c -- -Iinclude -std=c11 || status=1
"${tidy[@]}" examples/cpp/host.cpp -- -Iinclude -std=c++20 || status=1

if [ "$status" != 0 ]; then
    echo "clang-tidy found the problems above" >&2
    exit 1
fi
echo "code style: clean"
