# Makes sure the Debian packages named in "$@" are installed: as root they are
# installed with apt-get, otherwise the one command that would do it is
# printed and the caller stops.
ensure_packages() {
    local missing=()
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Install them with:" >&2
        echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if ! apt-get install -y --no-install-recommends "${missing[@]}"; then
        apt-get update
        apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

# What building the library and quorlind-bench needs.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config nlohmann-json3-dev libcli11-dev libboost-math-dev libhwloc-dev)

# What the full test command needs on top: the test frameworks, the Windows
# cross toolchain and Wine, clang for fuzzing, valgrind, Python with the
# JSON Schema validator the result files are checked with; the real
# consumers of the reports: Chromium (with PIL for its screenshots) and
# promtool, node_exporter, cmark-gfm for the Markdown, zsh and fish for the
# completions; and for the release packages llvm-dlltool (quorlind.lib),
# dpkg-shlibdeps, lintian and Python's venv, pip, setuptools and wheel (also
# as the .whl a fresh venv installs offline).
TEST_PACKAGES=("${BUILD_PACKAGES[@]}" googletest libbenchmark-dev clang-format clang-tidy git
    mingw-w64 g++-mingw-w64-x86-64-posix wine wine64
    clang libclang-rt-14-dev valgrind python3 python3-jsonschema
    chromium python3-pil prometheus prometheus-node-exporter cmark-gfm zsh fish
    llvm dpkg-dev file lintian python3-venv python3-pip python3-setuptools python3-wheel python3-wheel-whl)
