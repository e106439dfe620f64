"""Puts the package on the path and points it at the built library.

QUORLIND_LIBRARY names the library under test; without it the release build
of this checkout is used, and without that the tests are skipped."""

import os
import sys
import unittest

PYTHON_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPOSITORY = os.path.dirname(PYTHON_DIR)
if PYTHON_DIR not in sys.path:
    sys.path.insert(0, PYTHON_DIR)

_BUILT = os.path.join(REPOSITORY, "build", "release", "lib", "libquorlind.so.1")
if not os.environ.get("QUORLIND_LIBRARY") and os.path.isfile(_BUILT):
    os.environ["QUORLIND_LIBRARY"] = _BUILT

# Short runs everywhere: no warm-up, a fifth of a second measured.
MEASURE = 0.2
# Bounds for anything timed: wide enough for a loaded machine.
PATIENCE = 30.0


def library_path():
    path = os.environ.get("QUORLIND_LIBRARY")
    if not path or not os.path.isfile(path):
        raise unittest.SkipTest("set QUORLIND_LIBRARY to a built quorlind library")
    return path
