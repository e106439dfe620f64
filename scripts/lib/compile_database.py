#!/usr/bin/env python3
"""Reads CMake's compile_commands.json for the style check.

  compile_database.py sources DB [--except OTHER_DB]...
      prints the project's C and C++ sources that DB compiles (and no
      OTHER_DB does), one per line.
  compile_database.py for-clang DB OUT_DIR
      writes OUT_DIR/compile_commands.json: a mingw-w64 g++ database as
      clang-tidy should parse it, as that compiler would: clang for the
      x86_64-w64-mingw32 target, with g++'s own C++ library headers, without
      the options only g++ knows. DB itself is left as CMake wrote it.
"""
import json
import shlex
import subprocess
import sys
from pathlib import Path

PROJECT = Path(__file__).resolve().parents[2]
PROJECT_DIRS = ("native", "host", "tests", "bench", "fuzz", "examples")
GCC_ONLY_OPTIONS = {"-fno-keep-inline-dllexport"}
# A compiler launcher (CMAKE_<LANG>_COMPILER_LAUNCHER) that comes first.
LAUNCHERS = {"ccache", "sccache", "distcc"}


def arguments_of(entry):
    return entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])


def project_sources(database):
    sources = set()
    for entry in json.loads(Path(database).read_text()):
        path = Path(entry["directory"], entry["file"]).resolve()
        if path.suffix in (".c", ".cpp") and path.is_relative_to(PROJECT) and \
                path.relative_to(PROJECT).parts[0] in PROJECT_DIRS:
            sources.add(str(path))
    return sources


def cxx_library_dirs(compiler):
    """The C++ library directories g++ searches, from its own -v report."""
    report = subprocess.run([compiler, "-x", "c++", "-E", "-v", "-"], input="", capture_output=True,
                            text=True, check=True).stderr
    listed = report.split("#include <...> search starts here:")[1].split("End of search list.")[0]
    return [line.strip() for line in listed.splitlines() if "/include/c++" in line]


def for_clang(database, out_dir):
    entries = [e for e in json.loads(Path(database).read_text()) if Path(e["file"]).suffix in (".c", ".cpp")]
    library_dirs = None
    for entry in entries:
        arguments = arguments_of(entry)
        while Path(arguments[0]).name in LAUNCHERS:
            arguments = arguments[1:]
        compiler, *options = arguments
        if library_dirs is None:
            library_dirs = cxx_library_dirs(compiler)
        entry.pop("command", None)
        entry["arguments"] = (["clang++", "--target=x86_64-w64-mingw32", "-nostdinc++"] +
                              [f"-isystem{d}" for d in library_dirs] +
                              [o for o in options if o not in GCC_ONLY_OPTIONS])
    Path(out_dir).mkdir(parents=True, exist_ok=True)
    Path(out_dir, "compile_commands.json").write_text(json.dumps(entries, indent=1))


def main(argv):
    if len(argv) >= 2 and len(argv) % 2 == 0 and argv[0] == "sources" and \
            all(option == "--except" for option in argv[2::2]):
        sources = project_sources(argv[1])
        for other in argv[3::2]:
            sources -= project_sources(other)
        print("\n".join(sorted(sources)))
    elif len(argv) == 3 and argv[0] == "for-clang":
        for_clang(argv[1], argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
