# One PASS/FAIL/SKIP line per check, for the packaging and release scripts. The caller
# sets `work` to a scratch directory; `failures` counts the failed checks.
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

# run_example PROGRAM ARGS...: a short run must complete and print its rate.
run_example() {
  timeout 120 "$@" >"$work/run.txt" || { cat "$work/run.txt"; return 1; }
  cat "$work/run.txt"
  grep -qiE 'ops(/s| per second)' "$work/run.txt"
}

# The library's version, as the header states it.
header_version() { sed -n 's/^#define QUORLIND_VERSION_STRING "\(.*\)"$/\1/p' include/quorlind.h; }

# project_version BUILD-DIR: the version CMake's project() gave that build.
project_version() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"; }
