"""Python binding of the Quorlind processor-throughput benchmark (ctypes).

    import quorlind
    result = quorlind.run(threads="all", warmup=0, measure=0.5)
    print(result.ops_per_second, result.variation_percent)

The library is found through an explicit path (quorlind.load_library(path) or
the `library` argument), else the QUORLIND_LIBRARY environment variable, else
next to this package.
"""

from ._native import ENVIRONMENT_VARIABLE, Library, LibraryNotFound, find_library_path, load_library
from ._run import PHASES, Progress, Result, Run, RunFailed, Sample, run

__version__ = "0.0.2"

__all__ = [
    "ENVIRONMENT_VARIABLE",
    "Library",
    "LibraryNotFound",
    "PHASES",
    "Progress",
    "Result",
    "Run",
    "RunFailed",
    "Sample",
    "abi_version",
    "default_config",
    "find_library_path",
    "load_library",
    "run",
    "version",
]


def version(library=None):
    """The library's version text, e.g. "0.0.2"."""
    return (library or load_library()).version()


def abi_version(library=None):
    """The version of the library's C interface."""
    return (library or load_library()).abi_version()


def default_config(library=None):
    """The library's defaults as keyword arguments of run()."""
    config = (library or load_library()).default_config()
    threads = {1: "single", 2: "all"}[config.benchmark]
    return {"threads": threads, "warmup": config.warmup_seconds, "measure": config.measurement_seconds}
