"""ctypes view of the C interface in quorlind.h, and finding the library."""

import ctypes
import os
import sys
import threading

ABI_VERSION = 1

BENCHMARK_SINGLE = 1
BENCHMARK_PER_CPU = 2

STATUS_COMPLETED = 0
STATUS_CANCELLED = 1
STATUS_FAILED = 2

ENVIRONMENT_VARIABLE = "QUORLIND_LIBRARY"


class RunConfig(ctypes.Structure):
    _fields_ = [
        ("abi_version", ctypes.c_uint32),
        ("struct_size", ctypes.c_uint32),
        ("benchmark", ctypes.c_uint32),
        ("reserved", ctypes.c_uint32),
        ("warmup_seconds", ctypes.c_double),
        ("measurement_seconds", ctypes.c_double),
    ]


class RunSummary(ctypes.Structure):
    _fields_ = [
        ("abi_version", ctypes.c_uint32),
        ("status", ctypes.c_uint32),
        ("benchmark", ctypes.c_uint32),
        ("workers", ctypes.c_uint32),
        ("ops_per_second", ctypes.c_double),
        ("warmup_seconds", ctypes.c_double),
        ("measurement_seconds", ctypes.c_double),
        ("measured_seconds", ctypes.c_double),
        ("variation_percent", ctypes.c_double),
        ("total_operations", ctypes.c_uint64),
        ("checksum", ctypes.c_uint64),
        ("sample_count", ctypes.c_uint64),
        ("unstable", ctypes.c_uint32),
        ("has_variation", ctypes.c_uint32),
    ]


class IntervalSample(ctypes.Structure):
    _fields_ = [
        ("end_seconds", ctypes.c_double),
        ("duration_seconds", ctypes.c_double),
        ("operations", ctypes.c_uint64),
        ("ops_per_second", ctypes.c_double),
    ]


class ProgressEvent(ctypes.Structure):
    _fields_ = [
        ("phase", ctypes.c_uint32),
        ("workers", ctypes.c_uint32),
        ("progress", ctypes.c_double),
        ("phase_elapsed_seconds", ctypes.c_double),
        ("phase_seconds", ctypes.c_double),
        ("operations", ctypes.c_uint64),
    ]


# A mismatch here would silently garble every result, so fail at import.
for _record, _size in ((RunConfig, 32), (RunSummary, 88), (IntervalSample, 32), (ProgressEvent, 40)):
    if ctypes.sizeof(_record) != _size:
        raise ImportError(f"{_record.__name__} is {ctypes.sizeof(_record)} bytes, the library's is {_size}")

PROGRESS_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.POINTER(ProgressEvent), ctypes.c_void_p)
_Handle = ctypes.c_void_p


class LibraryNotFound(OSError):
    """No quorlind library could be loaded."""


class Library:
    """One loaded copy of the quorlind shared library."""

    def __init__(self, path):
        self.path = os.fspath(path)
        # CDLL releases the GIL around every foreign call, so a run blocks only
        # its own thread, and other threads can cancel it.
        self._dll = ctypes.CDLL(self.path)
        self._declare()
        abi = self._dll.quorlind_abi_version()
        if abi != ABI_VERSION:
            raise LibraryNotFound(f"{self.path} has C interface {abi}, this package needs {ABI_VERSION}")

    def _declare(self):
        d = self._dll
        declarations = {
            "quorlind_abi_version": (ctypes.c_uint32, []),
            "quorlind_version": (ctypes.c_char_p, []),
            "quorlind_default_config": (ctypes.c_int32, [ctypes.POINTER(RunConfig)]),
            "quorlind_create": (_Handle, []),
            "quorlind_free": (None, [_Handle]),
            "quorlind_cancel": (None, [_Handle]),
            "quorlind_run": (ctypes.c_uint32, [_Handle, ctypes.POINTER(RunConfig), PROGRESS_CALLBACK, ctypes.c_void_p]),
            "quorlind_result": (ctypes.c_int32, [_Handle, ctypes.POINTER(RunSummary)]),
            "quorlind_sample": (ctypes.c_int32, [_Handle, ctypes.c_uint64, ctypes.POINTER(IntervalSample)]),
            "quorlind_reason": (ctypes.c_char_p, [_Handle]),
        }
        for name, (restype, argtypes) in declarations.items():
            function = getattr(d, name)
            function.restype = restype
            function.argtypes = argtypes

    def version(self):
        return self._dll.quorlind_version().decode("ascii")

    def abi_version(self):
        return int(self._dll.quorlind_abi_version())

    def default_config(self):
        config = RunConfig()
        if not self._dll.quorlind_default_config(ctypes.byref(config)):
            raise RuntimeError("quorlind_default_config refused")
        return config

    def __repr__(self):
        return f"<quorlind.Library {self.path!r}>"


def _library_names():
    if sys.platform == "win32":
        return ["quorlind.dll"]
    return ["libquorlind.so.1", "libquorlind.so"]


def _candidates():
    package_dir = os.path.dirname(os.path.abspath(__file__))
    for directory in (package_dir, os.path.dirname(package_dir)):
        for name in _library_names():
            yield os.path.join(directory, name)


def find_library_path():
    """The path that load_library() without arguments would use."""
    from_environment = os.environ.get(ENVIRONMENT_VARIABLE)
    if from_environment:
        return from_environment
    tried = []
    for candidate in _candidates():
        if os.path.isfile(candidate):
            return candidate
        tried.append(candidate)
    raise LibraryNotFound(
        f"quorlind library not found: set {ENVIRONMENT_VARIABLE} or pass a path; tried " + ", ".join(tried)
    )


_default = None
_default_lock = threading.Lock()


def load_library(path=None):
    """Loads the library from `path`, else from $QUORLIND_LIBRARY, else from
    next to the package. Without a path the library is loaded once and shared."""
    if path is not None:
        return _load(path)
    global _default
    with _default_lock:
        if _default is None:
            _default = _load(find_library_path())
        return _default


def _load(path):
    try:
        return Library(path)
    except LibraryNotFound:
        raise
    except OSError as error:
        raise LibraryNotFound(f"cannot load quorlind library {os.fspath(path)!r}: {error}") from error
