import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from _support import PYTHON_DIR, library_path

import quorlind


class LoadingTest(unittest.TestCase):
    def setUp(self):
        self.path = library_path()

    def test_constants_of_the_loaded_library(self):
        self.assertEqual(quorlind.version(), quorlind.__version__)
        self.assertEqual(quorlind.abi_version(), 1)
        self.assertEqual(quorlind.default_config(), {"threads": "single", "warmup": 120.0, "measure": 60.0})

    def test_explicit_path_loads_a_library_of_its_own(self):
        library = quorlind.load_library(self.path)
        self.assertIsNot(library, quorlind.load_library())
        self.assertEqual(library.version(), quorlind.__version__)
        self.assertIs(quorlind.load_library(), quorlind.load_library())

    def test_unloadable_paths_raise_library_not_found(self):
        with tempfile.TemporaryDirectory() as directory:
            not_a_library = os.path.join(directory, "libquorlind.so.1")
            with open(not_a_library, "w") as file:
                file.write("not a shared library\n")
            for path in (os.path.join(directory, "missing.so"), not_a_library):
                with self.subTest(path=path):
                    with self.assertRaises(quorlind.LibraryNotFound) as caught:
                        quorlind.load_library(path)
                    self.assertIsInstance(caught.exception, OSError)
                    self.assertIn(path, str(caught.exception))


class LookupOrderTest(unittest.TestCase):
    """Each case imports a copy of the package in a fresh interpreter."""

    def setUp(self):
        self.path = library_path()
        self.directory = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.directory)
        self.package = os.path.join(self.directory, "quorlind")
        shutil.copytree(os.path.join(PYTHON_DIR, "quorlind"), self.package,
                        ignore=shutil.ignore_patterns("__pycache__"))

    def version_seen(self, environment_value=None):
        env = {k: v for k, v in os.environ.items() if k != "QUORLIND_LIBRARY"}
        env["PYTHONPATH"] = self.directory
        if environment_value is not None:
            env["QUORLIND_LIBRARY"] = environment_value
        return subprocess.run(
            [sys.executable, "-c", "import quorlind; print(quorlind.version())"],
            cwd=self.directory, env=env, capture_output=True, text=True, timeout=60)

    def test_library_next_to_the_package(self):
        shutil.copy(self.path, os.path.join(self.package, quorlind._native._library_names()[0]))
        done = self.version_seen()
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.strip(), quorlind.__version__)

    def test_environment_variable_comes_first(self):
        shutil.copy(self.path, os.path.join(self.package, quorlind._native._library_names()[0]))
        done = self.version_seen(os.path.join(self.directory, "elsewhere.so"))
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("LibraryNotFound", done.stderr)
        self.assertIn("elsewhere.so", done.stderr)

    def test_nothing_found_names_the_variable(self):
        done = self.version_seen()
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("QUORLIND_LIBRARY", done.stderr)


if __name__ == "__main__":
    unittest.main()
