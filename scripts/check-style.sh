#!/usr/bin/env bash
# Checks the code style of every C and C++ source: the layout against
# .clang-format, no block that only opens another, the host's includes against
# host/layers.txt, and the rules in .clang-tidy (braces, names, and the checks
# that catch real faults), where any finding fails. clang-tidy reads each
# source once, as the presets' trees compile it; they are configured here,
# never built.
#
# Usage: scripts/check-style.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# The Windows build's database as clang-tidy reads it.
windows=build/style/windows
database="python3 scripts/lib/compile_database.py"
source scripts/lib/steps.sh
trap 'steps_summary $?' EXIT

sources=$(git ls-files 'native/*' 'host/*' 'tests/*' 'bench/*' 'fuzz/*' 'examples/*' | grep -E '\.(c|cpp|h)$')

step "clang-format"
xargs clang-format --dry-run -Werror <<<"$sources"

# clang-format keeps a block that holds only another block; an automatic
# brace fix once buried bounds checks twenty blocks deep.
step "nested empty blocks"
xargs awk 'FNR == 1 { open = 0 }
           /^[ \t]*\{[ \t]*$/ { if (open) { print FILENAME ":" FNR ": a block that only opens another block"; found = 1 }
                                 open = 1; next }
           { open = 0 }
           END { exit found }' <<<"$sources"

step "host folders"
python3 scripts/lib/check_host_includes.py

step "clang-tidy"
# The trees of the release, asan and windows presets, only configured here:
# the sources Linux builds with g++ and, for the fuzz targets, with clang; the
# Windows-only ones as mingw-w64 compiles them, through clang's Windows target.
cmake --preset release >/dev/null
cmake --preset asan >/dev/null
cmake --preset windows >/dev/null
$database for-clang build/windows/compile_commands.json "$windows"

# Headers count only where they are ours, wherever the checkout lives.
tidy=(clang-tidy --quiet --warnings-as-errors='*' --header-filter="^$root/(native|host|tests|bench|fuzz|examples)/")
status=0
# The tests are held to the brace and naming rules only: the fault checks,
# run over every expansion of the test framework's macros, would more than
# double the time this takes. Sources unchanged since they last passed, with
# every header they include, are not read again (build/style/tidy-cache).
python3 scripts/lib/tidy.py --cache build/style/tidy-cache \
    --tests-checks='-*,readability-braces-around-statements,readability-identifier-naming' \
    build/release build/asan "$windows" -- "${tidy[@]:1}" || status=1
# The examples build against an installed package, so they have no database.
"${tidy[@]}" examples/c/minimal.c -- -Iinclude -std=c11 || status=1
"${tidy[@]}" examples/cpp/host.cpp -- -Iinclude -std=c++20 || status=1

if [ "$status" != 0 ]; then
    echo "clang-tidy found the problems above" >&2
    exit 1
fi
echo "code style: clean"
