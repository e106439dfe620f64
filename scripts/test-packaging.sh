#!/usr/bin/env bash
# Checks what hosts receive: installs a native build into a temporary prefix,
# builds and runs the example hosts against it (CMake package and pkg-config),
# runs the Python binding's tests on the installed library and, when a
# Windows build exists, checks quorlind.dll's version resource and exports.
#
# Usage: scripts/test-packaging.sh [native-build-dir] [windows-build-dir]
#        (defaults build/release and build/windows, both already built)
# Prints one PASS/FAIL/SKIP line per check; exits 1 when any check failed.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD
native=${1:-build/release}
windows=${2:-build/windows}

work=$(mktemp -d "${TMPDIR:-/tmp}/quorlind-packaging.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
export PYTHONDONTWRITEBYTECODE=1 WINEDEBUG=-all

failures=0
pass() { echo "PASS: $1"; }
skip() { echo "SKIP: $1"; }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}
# check NAME COMMAND...: one line for the check, the command's output on failure.
check() {
  local name=$1
  shift
  if "$@" >"$work/log" 2>&1; then
    pass "$name"
  else
    fail "$name"
    tail -n 40 "$work/log" | sed 's/^/    /'
  fi
}

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
version=$(sed -n 's/^#define QUORLIND_VERSION_STRING "\(.*\)"$/\1/p' include/quorlind.h)

# The ten functions, as the header declares them, the .def lists them and an
# import library imports them. A library's export table is read by the same
# check against the .def that the build and the tests run.
def=native/quorlind.def
header_exports() { grep -oE 'QUORLIND_EXTERN[^(]*\(' include/quorlind.h | grep -oE 'quorlind_[a-z_]+' | sort; }
def_exports() { cmake -DDEF="$def" -P cmake/ExportList.cmake | sort; }
exports_as_listed() { # TOOL FORMAT LIBRARY
  cmake -DTOOL="$1" -DFORMAT="$2" -DLIBRARY="$3" -DDEF="$def" -P cmake/check_exports.cmake
}
implib_exports() { x86_64-w64-mingw32-nm "$1" | sed -n 's/.* I __imp_\(quorlind_.*\)$/\1/p' | sort -u; }
same_list() { # NAME-A FILE-A NAME-B FILE-B
  diff -u --label "$1" "$2" --label "$3" "$4" && [ "$(wc -l <"$2")" -eq 10 ]
}

header_exports >"$work/header.txt"
def_exports >"$work/def.txt"
check ".def lists exactly the ten functions of quorlind.h" \
  same_list quorlind.h "$work/header.txt" quorlind.def "$work/def.txt"

# --- native -------------------------------------------------------------------

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
check "libquorlind.so exports exactly the ten functions of quorlind.def" \
  exports_as_listed nm elf "$library"

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
# run_example PROGRAM ARGS...: a short run must complete and print its rate.
run_example() {
  timeout 120 "$@" >"$work/run.txt" || { cat "$work/run.txt"; return 1; }
  cat "$work/run.txt"
  grep -qiE 'ops(/s| per second)' "$work/run.txt"
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

# --- Windows ------------------------------------------------------------------

dll=$windows/bin/quorlind.dll
if [ ! -f "$dll" ]; then
  skip "Windows checks: no $dll"
else
  check "quorlind.dll version resource: FileVersion and ProductVersion $version" \
    python3 - "$dll" "$version" <<'EOF'
# Reads VS_VERSIONINFO out of the PE resource section.
import struct
import sys

path, version = sys.argv[1], sys.argv[2]
data = open(path, "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
assert resource_rva, "no resource section"

def offset(rva):
    for i in range(sections):
        virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
        if address <= rva < address + max(virtual_size, raw_size):
            return raw + rva - address
    raise AssertionError(f"rva {rva:#x} outside every section")

base = offset(resource_rva)

def entry(directory, wanted=None):
    named, ids = struct.unpack_from("<HH", data, directory + 12)
    for i in range(named + ids):
        name, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
        if wanted is None or name == wanted:
            return target
    raise AssertionError(f"resource {wanted} missing")

# Three levels: type (16 is RT_VERSION), then name, then language.
names = entry(base, 16)
languages = entry(base + (names & 0x7FFFFFFF))
leaf = entry(base + (languages & 0x7FFFFFFF))
assert not leaf & 0x80000000, "a directory where the version data belongs"
rva, size = struct.unpack_from("<II", data, base + leaf)
blob = data[offset(rva):offset(rva) + size]

def align(n):
    return (n + 3) & ~3

def node(at):
    """(key, value, children, length) of one VS_VERSIONINFO-style block."""
    length, value_length, kind = struct.unpack_from("<HHH", blob, at)
    end = at + 6
    while blob[end:end + 2] != b"\0\0":
        end += 2
    key = blob[at + 6:end].decode("utf-16-le")
    position = align(end + 2)
    width = value_length * 2 if kind == 1 else value_length
    value = blob[position:position + width]
    if kind == 1:
        value = value.decode("utf-16-le").rstrip("\0")
    position = align(position + width)
    children = []
    while position < at + length:
        child = node(position)
        children.append(child)
        position = align(position + child[3])
    return key, value, children, length

key, fixed, children, _ = node(0)
assert key == "VS_VERSION_INFO", key
signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
assert signature == 0xFEEF04BD, hex(signature)
major, minor, patch = (int(part) for part in version.split("."))
expected = ((major << 16) | minor, patch << 16)
assert (file_ms, file_ls) == expected, f"FILEVERSION {file_ms:#x} {file_ls:#x}"
assert (product_ms, product_ls) == expected, f"PRODUCTVERSION {product_ms:#x} {product_ls:#x}"
strings = {}
for child in children:
    if child[0] == "StringFileInfo":
        for table in child[2]:
            strings.update({name: value for name, value, _, _ in table[2]})
print(strings)
assert strings.get("FileVersion") == version, strings
assert strings.get("ProductVersion") == version, strings
assert strings.get("FileDescription"), "no FileDescription"
assert strings.get("OriginalFilename") == "quorlind.dll", strings
EOF

  if command -v x86_64-w64-mingw32-objdump >/dev/null; then
    check "quorlind.dll exports exactly the ten functions of quorlind.def" \
      exports_as_listed x86_64-w64-mingw32-objdump pe "$dll"
    implib=$windows/lib/libquorlind.dll.a
    implib_exports "$implib" >"$work/implib.txt"
    check "libquorlind.dll.a imports exactly the ten functions" \
      same_list quorlind.def "$work/def.txt" libquorlind.dll.a "$work/implib.txt"
  else
    fail "x86_64-w64-mingw32-objdump needed for the export checks"
  fi

  winprefix=$work/windows-prefix
  windows_tree() {
    cmake --install "$windows" --prefix "$winprefix" &&
      for file in bin/quorlind.dll lib/libquorlind.dll.a lib/quorlind.def include/quorlind.h \
        lib/cmake/quorlind/quorlindConfig.cmake lib/pkgconfig/quorlind.pc; do
        [ -f "$winprefix/$file" ] || { echo "missing $file"; return 1; }
      done
  }
  check "cmake --install $windows: DLL, import library, .def, header, package" windows_tree

  toolchain=$root/cmake/toolchains/mingw-w64-x86_64.cmake
  if ! command -v wine >/dev/null; then
    skip "Windows examples under Wine: wine not installed"
  else
    # The cross toolchain confines find_package to its root, so the package
    # directory is named directly.
    for example in c:minimal cpp:host; do
      name=${example%%:*} program=${example#*:}
      check "Windows $name example builds with find_package" \
        build_example "windows-$name" "examples/$name" --toolchain "$toolchain" \
        -Dquorlind_DIR="$winprefix/lib/cmake/quorlind"
      cp "$winprefix/bin/quorlind.dll" "$work/windows-$name/" 2>/dev/null
      check "Windows $name example runs under Wine" run_example wine "$work/windows-$name/$program.exe" 0.2
    done
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "FAIL: $failures packaging check(s) failed"
  exit 1
fi
echo "PASS: all packaging checks"
