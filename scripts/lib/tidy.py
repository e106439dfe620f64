#!/usr/bin/env python3
"""Runs clang-tidy over the project's sources, for the style check.

  tidy.py --cache DIR --tests-checks CHECKS DB_DIR... -- TIDY_OPTION...

Each source is read once, as the first of the DB_DIRs whose
compile_commands.json compiles it; the ones under tests/ with only the checks
CHECKS. They run in parallel, one process per source. A source that passed
before is skipped while everything its check read is unchanged: the compile
command, the options, clang-tidy's version and configuration, and the
contents of the source and of every header it includes (as clang
lists them after a clean check; comments count, since they hold NOLINT).
Exits 1 when any source has a finding.
"""
import argparse
import concurrent.futures
import hashlib
import json
import os
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from compile_database import LAUNCHERS, PROJECT, arguments_of, project_sources  # noqa: E402

# Options that name the compiler's outputs, with the value that follows them.
OUTPUT_OPTIONS = {"-o", "-MF", "-MT", "-MQ"}
DROPPED_OPTIONS = {"-c", "-MD", "-MMD"}


def digest(data):
    return hashlib.sha256(data).hexdigest()


class FileDigests:
    """Each file's digest, read once per run."""

    def __init__(self):
        self.lock = threading.Lock()
        self.known = {}

    def __call__(self, path):
        with self.lock:
            if path in self.known:
                return self.known[path]
        try:
            value = digest(Path(path).read_bytes())
        except OSError:
            value = None
        with self.lock:
            self.known[path] = value
        return value


def compiler_command(entry):
    arguments = arguments_of(entry)
    while Path(arguments[0]).name in LAUNCHERS:
        arguments = arguments[1:]
    return arguments


def dependencies(entry):
    """The files clang reads for this entry, the source first: clang, as
    clang-tidy is, since g++ may take another C++ library's headers."""
    compiler, *options = compiler_command(entry)
    if "clang" not in Path(compiler).name:
        compiler = "clang" if Path(entry["file"]).suffix == ".c" else "clang++"
    command, skip = [compiler], False
    for argument in options:
        if skip:
            skip = False
        elif argument in OUTPUT_OPTIONS:
            skip = True
        elif argument not in DROPPED_OPTIONS and not argument.startswith(("-o", "-MF", "-MT", "-MQ")):
            command.append(argument)
    with tempfile.TemporaryDirectory() as scratch:
        depfile = Path(scratch, "deps")
        subprocess.run(command + ["-M", "-MF", str(depfile)], cwd=entry["directory"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        text = depfile.read_text().replace("\\\n", " ")
    names = text.split(":", 1)[1].split()
    return [str(Path(entry["directory"], name).resolve()) for name in names]


def tidy_configuration(source, file_digest):
    """The .clang-tidy files that apply to the source, from the project's root down."""
    found = []
    directory = Path(source).parent
    while directory.is_relative_to(PROJECT):
        config = directory / ".clang-tidy"
        if config.is_file():
            found.append((str(config), file_digest(str(config))))
        if directory == PROJECT:
            break
        directory = directory.parent
    return found


def main():
    if "--" not in sys.argv:
        sys.exit(__doc__)
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cache", required=True)
    parser.add_argument("--tests-checks", required=True)
    parser.add_argument("databases", nargs="+")
    arguments = parser.parse_args(sys.argv[1:split])
    tidy = sys.argv[split + 1:]
    cache = Path(arguments.cache)
    cache.mkdir(parents=True, exist_ok=True)

    version = subprocess.run(["clang-tidy", "--version"], capture_output=True, text=True, check=True).stdout
    file_digest = FileDigests()
    tests = str(PROJECT / "tests") + os.sep

    work = []  # (source, database directory, entry, options)
    seen = set()
    for database in arguments.databases:
        entries = {}
        for entry in json.loads(Path(database, "compile_commands.json").read_text()):
            entries.setdefault(str(Path(entry["directory"], entry["file"]).resolve()), entry)
        for source in sorted(project_sources(Path(database, "compile_commands.json")) - seen):
            seen.add(source)
            options = tidy + ([f"--checks={arguments.tests_checks}"] if source.startswith(tests) else [])
            work.append((source, database, entries[source], options))

    def key_of(source, entry, options):
        inputs = [version, options, compiler_command(entry), entry["directory"], source,
                  tidy_configuration(source, file_digest)]
        return cache / (digest(json.dumps(inputs).encode()) + ".json")

    def unchanged(key):
        try:
            recorded = json.loads(key.read_text())
        except (OSError, ValueError):
            return False
        return all(file_digest(path) == value for path, value in recorded.items())

    output_lock = threading.Lock()

    def check(item):
        source, database, entry, options = item
        key = key_of(source, entry, options)
        if unchanged(key):
            return True, True
        started = time.time()
        run = subprocess.run(["clang-tidy", *options, "-p", database, source], capture_output=True, text=True)
        with output_lock:
            sys.stdout.write(run.stdout)
            # clang-tidy counts the warnings it hid on stderr; the findings are on stdout.
            if run.returncode != 0:
                sys.stdout.write(run.stderr)
            sys.stdout.flush()
        if run.returncode != 0:
            return False, False
        try:
            paths = dependencies(entry)
            # A file edited while it was checked may not be what passed.
            if any(os.stat(path).st_mtime >= started for path in paths):
                return True, False
            recorded = {path: file_digest(path) for path in paths}
        except (OSError, subprocess.CalledProcessError, IndexError):
            return True, False  # clean, but nothing to remember it by
        key.write_text(json.dumps(recorded))
        return True, False

    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        results = list(pool.map(check, work))
    skipped = sum(1 for _, was_skipped in results if was_skipped)
    failed = sum(1 for clean, _ in results if not clean)
    print(f"clang-tidy: {len(work)} sources, {skipped} unchanged since their last clean check, "
          f"{failed} with findings")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
