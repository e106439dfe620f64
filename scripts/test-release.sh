#!/usr/bin/env bash
# Builds the release packages and installs each as a user would:
#   the header and the .def: the same ten functions;
#   the Windows zip: its contents, both import libraries' exports,
#     quorlind-bench.exe run under Wine from the unpacked tree, the C example
#     built against it;
#   the Debian packages (as root only): lintian, dpkg -i, the C example built
#     with pkg-config, quorlind-bench from PATH, dpkg -P leaving nothing
#     behind;
#   the Python package: pip install ./python into a fresh venv, a run from
#     outside the source tree, and the wheel's tag, contents and install.
#
# Usage: scripts/test-release.sh [native-build-dir] [windows-build-dir]
#        (defaults build/release and build/windows, both already built)
# Prints one PASS/FAIL/SKIP line per check; exits 1 when any check failed.
set -u
cd "$(dirname "$0")/.." || exit 2
root=$PWD
native=$root/${1:-build/release}
windows=$root/${2:-build/windows}

work=$(mktemp -d "${TMPDIR:-/tmp}/quorlind-release.XXXXXX") || exit 2
export PYTHONDONTWRITEBYTECODE=1 WINEDEBUG=-all
source scripts/lib/checks.sh
source scripts/lib/steps.sh
trap 'steps_summary $?; rm -rf "$work"' EXIT

# The ten functions as the header declares them and as native/quorlind.def
# lists them, which the link, the export-table test and the import libraries
# below all follow.
header_exports() { grep -oE 'QUORLIND_EXTERN[^(]*\(' include/quorlind.h | grep -oE 'quorlind_[a-z_]+' | sort; }
def_exports() { cmake -DDEF=native/quorlind.def -P cmake/ExportList.cmake | sort; }
# same_list NAME-A FILE-A NAME-B FILE-B: equal, and ten names long.
same_list() { diff -u --label "$1" "$2" --label "$3" "$4" && [ "$(wc -l <"$2")" -eq 10 ]; }
header_exports >"$work/header.txt"
def_exports >"$work/def.txt"
check ".def lists exactly the ten functions of quorlind.h" \
  same_list quorlind.h "$work/header.txt" quorlind.def "$work/def.txt"

step "Windows zip"

# The archive's files, one a line, sorted.
zip_listing() {
  /usr/bin/python3 - "$1" <<'PY'
import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
print("\n".join(sorted(name for name in names if not name.endswith("/"))))
PY
}
expected_zip_listing() { # TOP-FOLDER
  printf "$1/%s\n" README.md docs/c-api.md bin/quorlind.dll bin/quorlind-bench.exe include/quorlind.h \
    lib/libquorlind.dll.a lib/quorlind.lib lib/quorlind.def lib/pkgconfig/quorlind.pc \
    lib/cmake/quorlind/quorlindConfig.cmake lib/cmake/quorlind/quorlindConfigVersion.cmake \
    lib/cmake/quorlind/quorlindTargets.cmake lib/cmake/quorlind/quorlindTargets-release.cmake | sort
}
# The functions an import library imports, one a line: MSVC's quorlind.lib
# (made by llvm-dlltool) and MinGW's libquorlind.dll.a (made by the link).
msvc_implib_exports() { llvm-nm "$1" | sed -n 's/.* __imp_\(quorlind_[a-z_]*\)$/\1/p' | sort -u; }
mingw_implib_exports() { x86_64-w64-mingw32-nm "$1" | sed -n 's/.* I __imp_\(quorlind_.*\)$/\1/p' | sort -u; }
# bin/ holds the DLL and the tool, and no runtime DLL they would need.
bin_alone() {
  ls "$1" >"$work/bin.txt"
  printf '%s\n' quorlind-bench.exe quorlind.dll | diff -u - "$work/bin.txt"
}
unpacked_bench_runs() {
  (cd "$1/bin" && timeout 120 wine ./quorlind-bench.exe --warmup 0 --measure 0.2 --quiet) >"$work/bench.txt" &&
    cat "$work/bench.txt" && grep -q ': completed' "$work/bench.txt"
}
mingw_example() { # UNPACKED
  cmake -S examples/c -B "$work/zip-c" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    --toolchain "$root/cmake/toolchains/mingw-w64-x86_64.cmake" -Dquorlind_DIR="$1/lib/cmake/quorlind" &&
    cmake --build "$work/zip-c" && cp "$1/bin/quorlind.dll" "$work/zip-c/"
}

if [ ! -f "$windows/CPackConfig.cmake" ]; then
  skip "Windows zip: no configured build in $windows"
else
  version=$(project_version "$windows")
  zip=$windows/packages/quorlind-$version-win64.zip
  rm -f "$zip"
  check "cpack makes quorlind-$version-win64.zip" cpack --config "$windows/CPackConfig.cmake"
  zip_listing "$zip" >"$work/zip.txt"
  expected_zip_listing "quorlind-$version-win64" >"$work/zip-expected.txt"
  check "the zip holds exactly the expected files" diff -u "$work/zip-expected.txt" "$work/zip.txt"

  unpacked=$work/unzipped/quorlind-$version-win64
  mkdir -p "$work/unzipped"
  /usr/bin/python3 -m zipfile -e "$zip" "$work/unzipped"
  msvc_implib_exports "$unpacked/lib/quorlind.lib" >"$work/msvc.txt"
  check "quorlind.lib imports exactly the ten functions of quorlind.def" \
    same_list quorlind.def "$work/def.txt" quorlind.lib "$work/msvc.txt"
  mingw_implib_exports "$unpacked/lib/libquorlind.dll.a" >"$work/mingw.txt"
  check "libquorlind.dll.a imports exactly the ten functions of quorlind.def" \
    same_list quorlind.def "$work/def.txt" libquorlind.dll.a "$work/mingw.txt"
  check "the zip's quorlind.dll keeps its version resource" \
    /usr/bin/python3 scripts/lib/version_resource.py "$unpacked/bin/quorlind.dll" "$version"
  check "bin/ holds quorlind.dll and quorlind-bench.exe alone" bin_alone "$unpacked/bin"
  check "quorlind-bench.exe imports only system DLLs and quorlind.dll" \
    cmake -DLIBRARY="$unpacked/bin/quorlind-bench.exe" -DALLOWED=quorlind.dll \
    -DTOOL=x86_64-w64-mingw32-objdump -P tests/exports/check_dll_imports.cmake
  if ! command -v wine >/dev/null; then
    skip "Windows zip under Wine: wine not installed"
  else
    check "quorlind-bench.exe runs under Wine from the unpacked zip" unpacked_bench_runs "$unpacked"
    check "the C example builds with MinGW against the unpacked zip" mingw_example "$unpacked"
    check "the C example built against the zip runs under Wine" run_example wine "$work/zip-c/minimal.exe" 0.2
  fi
fi

step "Debian packages"

packages=(libquorlind1 libquorlind-dev quorlind-bench)
# What lintian may say, and why it does not apply:
#   no-changelog: the packages are made by CPack from the CMake build, not
#     from a Debian source package; the history is the repository's.
#   maintscript-calls-ldconfig: CPack's generated postinst and postrm call
#     ldconfig; the package also has the ldconfig trigger, so it is harmless.
#   pkg-config-unavailable-for-cross-compilation: the library installs into
#     /usr/lib, not a multiarch directory; the packages are not Multi-Arch.
lintian_allowed='no-changelog|maintscript-calls-ldconfig|pkg-config-unavailable-for-cross-compilation'
lintian_clean() {
  lintian --tag-display-limit 0 "$@" 2>&1 | tee "$work/lintian.txt"
  ! grep -E '^[EW]: ' "$work/lintian.txt" | grep -vE "^[EW]: [^ ]+ (${lintian_allowed})( |$)"
}
# Every option --help lists has its entry in the manual page.
man_page_complete() {
  "$native/bin/quorlind-bench" --help | grep -oE -- '--[a-z]+' | sort -u >"$work/help-options.txt"
  sed -n 's/.*\\-\\-\([a-z]*\).*/--\1/p' docs/quorlind-bench.1 | sort -u >"$work/man-options.txt"
  comm -23 "$work/help-options.txt" "$work/man-options.txt" >"$work/missing.txt"
  cat "$work/missing.txt"
  [ ! -s "$work/missing.txt" ]
}
bench_from_path() {
  [ "$(command -v quorlind-bench)" = /usr/bin/quorlind-bench ] &&
    quorlind-bench --version | tee "$work/version.txt" && grep -qx "quorlind-bench $version" "$work/version.txt"
}
# Nothing of the packages is left: not known to dpkg, no file they held.
nothing_left() {
  local package
  for package in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q installed; then
      echo "$package is still installed"
      return 1
    fi
  done
  ! grep -v '/$' "$work/deb-files.txt" | while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] && echo "left behind: $path"
  done | grep .
}

if [ ! -f "$native/CPackConfig.cmake" ]; then
  fail "native build directory $native (build it first)"
else
  version=$(project_version "$native")
  check "every option of quorlind-bench --help is in its manual page" man_page_complete
  rm -f "$native"/packages/*.deb
  check "cpack makes the Debian packages" cpack --config "$native/CPackConfig.cmake"
  debs=()
  for package in "${packages[@]}"; do
    debs+=("$native/packages/${package}_${version}_$(dpkg --print-architecture).deb")
  done
  if ! command -v lintian >/dev/null; then
    fail "lintian needed to check the Debian packages"
  else
    check "lintian finds nothing that applies" lintian_clean "${debs[@]}"
  fi
  if [ "$(id -u)" -ne 0 ]; then
    skip "installing the Debian packages: needs root (run as root, as CI does)"
  else
    for deb in "${debs[@]}"; do dpkg-deb --fsys-tarfile "$deb" | tar -t; done |
      sed 's|^\./|/|' | sort -u >"$work/deb-files.txt"
    check "dpkg -i ${packages[*]}" dpkg -i "${debs[@]}"
    check "quorlind-bench --version from PATH is $version" bench_from_path
    check "the C example builds with pkg-config against the installed packages" \
      make -C examples/c OUT="$work/deb-minimal"
    check "the C example built with pkg-config runs" run_example "$work/deb-minimal" 0.2
    check "dpkg -P ${packages[*]}" dpkg -P "${packages[@]}"
    check "nothing of the packages is left behind" nothing_left
  fi
fi

step "Python package"

# A short run from outside the source tree, with the library the package holds.
python_run() { # PYTHON
  (cd "$work" && env -u QUORLIND_LIBRARY "$1" - <<'PY'
import os, quorlind
path = quorlind.find_library_path()
assert path.startswith(os.path.dirname(quorlind.__file__)), path
result = quorlind.run(warmup=0, measure=0.2)
print(path, result.ops_per_second)
assert result.ops_per_second > 0
PY
  )
}
environment_wins() { # PYTHON
  (cd "$work" && QUORLIND_LIBRARY=/nonexistent/libquorlind.so.1 "$1" - <<'PY'
import quorlind
assert quorlind.find_library_path() == "/nonexistent/libquorlind.so.1"
try:
    quorlind.load_library()
except quorlind.LibraryNotFound as error:
    print(error)
else:
    raise AssertionError("the library beside the package was loaded instead")
PY
  )
}
wheel_contents() { # WHEEL
  /usr/bin/python3 - "$1" <<'PY'
import sys, zipfile
wheel = zipfile.ZipFile(sys.argv[1])
names = set(wheel.namelist())
print("\n".join(sorted(names)))
for name in ("quorlind/__init__.py", "quorlind/_native.py", "quorlind/_run.py", "quorlind/libquorlind.so.1"):
    assert name in names, name
metadata = next(name for name in names if name.endswith(".dist-info/WHEEL"))
assert "Root-Is-Purelib: false" in wheel.read(metadata).decode(), "a pure wheel"
PY
}

if [ ! -x /usr/bin/python3 ]; then
  fail "/usr/bin/python3 needed for the Python package"
else
  export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
  pip_offline=(--disable-pip-version-check --no-index --no-build-isolation)
  venv=$work/venv
  # No system site packages: the build needs only what pyproject.toml
  # declares, and wheel comes offline from Debian's python3-wheel-whl.
  check "a fresh venv" /usr/bin/python3 -m venv "$venv"
  check "wheel, offline, into the venv" \
    "$venv/bin/pip" install "${pip_offline[@]}" --find-links /usr/share/python-wheels wheel
  check "pip install ./python builds the library into the package" \
    "$venv/bin/pip" install "${pip_offline[@]}" ./python
  check "import quorlind and run, from outside the source tree" python_run "$venv/bin/python"
  check "QUORLIND_LIBRARY still wins over the packaged library" environment_wins "$venv/bin/python"

  platform=$("$venv/bin/python" -c 'import sysconfig; print(sysconfig.get_platform().replace("-", "_").replace(".", "_"))')
  wheel=$work/wheels/quorlind-$(project_version "$native")-py3-none-$platform.whl
  check "pip wheel ./python" "$venv/bin/pip" wheel "${pip_offline[@]}" --no-deps -w "$work/wheels" ./python
  check "the wheel is tagged py3-none-$platform" test -f "$wheel"
  check "the wheel holds the package and its library, not as a pure wheel" wheel_contents "$wheel"
  check "a second fresh venv" /usr/bin/python3 -m venv "$work/wheel-venv"
  check "pip install the wheel" "$work/wheel-venv/bin/pip" install "${pip_offline[@]}" "$wheel"
  check "the installed wheel runs" python_run "$work/wheel-venv/bin/python"
fi

if [ "$failures" -ne 0 ]; then
  echo "FAIL: $failures release check(s) failed"
  exit 1
fi
echo "PASS: all release checks"
