"""The style step's clang-tidy record: a source is skipped only while nothing
its check read has changed. Runs scripts/lib/tidy.py, copied into a scratch
project, with a stand-in clang-tidy that logs what it checks and finds a
fault wherever a file says FAULT."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "scripts" / "lib"

FAKE_TIDY = """#!/bin/sh
[ "$1" = --version ] && { echo "fake clang-tidy 1"; exit 0; }
for source; do :; done
echo "$source" >>"$TIDY_LOG"
cd "$(dirname "$source")" || exit 2
grep -l FAULT "$source" $(sed -n 's/^#include "\\(.*\\)"/\\1/p' "$source") 2>/dev/null && exit 1
exit 0
"""


class TidyRecord(unittest.TestCase):
    def setUp(self):
        self.root = Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, self.root)
        (self.root / "scripts" / "lib").mkdir(parents=True)
        for name in ("tidy.py", "compile_database.py"):
            shutil.copy(SCRIPTS / name, self.root / "scripts" / "lib" / name)
        bin_dir = self.root / "bin"
        bin_dir.mkdir()
        (bin_dir / "clang-tidy").write_text(FAKE_TIDY)
        (bin_dir / "clang-tidy").chmod(0o755)
        self.log = self.root / "tidy.log"
        self.environment = dict(os.environ, PATH=f"{bin_dir}:{os.environ['PATH']}", TIDY_LOG=str(self.log))

        source = self.root / "native"
        source.mkdir()
        (source / "shared.h").write_text("int shared();\n")
        (source / "a.cpp").write_text('#include "shared.h"\nint a() { return shared(); }\n')
        (source / "b.cpp").write_text("int b() { return 2; }\n")
        (self.root / ".clang-tidy").write_text("Checks: '-*'\n")
        self.database = self.root / "build"
        self.database.mkdir()
        compiler = shutil.which("cc") or "gcc"
        (self.database / "compile_commands.json").write_text(json.dumps([
            {"directory": str(self.database), "file": str(source / name),
             "arguments": [compiler, "-c", str(source / name), "-o", name + ".o"]} for name in ("a.cpp", "b.cpp")]))

    def run_tidy(self, *options):
        self.log.write_text("")
        run = subprocess.run([sys.executable, str(self.root / "scripts" / "lib" / "tidy.py"), "--cache",
                              str(self.root / "record"), "--tests-checks=-*", str(self.database), "--", *options],
                             env=self.environment, capture_output=True, text=True)
        checked = sorted(Path(line).name for line in self.log.read_text().split())
        return run.returncode, checked

    def edit(self, name, text):
        path = self.root / "native" / name
        path.write_text(path.read_text() + text)

    def test_unchanged_sources_are_skipped_and_any_change_rechecks(self):
        self.assertEqual(self.run_tidy(), (0, ["a.cpp", "b.cpp"]))
        self.assertEqual(self.run_tidy(), (0, []))
        self.edit("shared.h", "// a comment counts: it may say NOLINT\n")
        self.assertEqual(self.run_tidy(), (0, ["a.cpp"]))
        self.edit("b.cpp", "int c();\n")
        self.assertEqual(self.run_tidy(), (0, ["b.cpp"]))
        self.assertEqual(self.run_tidy("--quiet"), (0, ["a.cpp", "b.cpp"]))
        (self.root / ".clang-tidy").write_text("Checks: '-*,bugprone-*'\n")
        self.assertEqual(self.run_tidy("--quiet"), (0, ["a.cpp", "b.cpp"]))

    def test_a_finding_fails_and_is_checked_again_until_fixed(self):
        self.assertEqual(self.run_tidy(), (0, ["a.cpp", "b.cpp"]))
        header = self.root / "native" / "shared.h"
        clean = header.read_text()
        header.write_text(clean + "// FAULT\n")
        self.assertEqual(self.run_tidy(), (1, ["a.cpp"]))
        self.assertEqual(self.run_tidy(), (1, ["a.cpp"]))
        header.write_text(clean)
        self.assertEqual(self.run_tidy(), (0, []))  # as it was when it last passed


if __name__ == "__main__":
    unittest.main()
