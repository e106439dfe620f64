"""Runs of the benchmark: arguments, the run object and its results."""

import ctypes
import math
import numbers
import os
import threading
import time
from dataclasses import dataclass, field
from typing import List, Optional

from . import _native
from ._native import Library, load_library

THREADS = {"single": _native.BENCHMARK_SINGLE, "all": _native.BENCHMARK_PER_CPU}
_THREADS_BY_CODE = {code: name for name, code in THREADS.items()}
PHASES = {1: "warmup", 2: "measurement", 3: "completed", 4: "cancelled", 5: "failed"}

# The library converts seconds to whole 64-bit seconds and refuses more.
_SECONDS_LIMIT = 2.0**64


@dataclass(frozen=True)
class Sample:
    """One measured interval; the intervals tile the measured time in order."""

    end_seconds: float
    duration_seconds: float
    operations: int
    ops_per_second: float


@dataclass(frozen=True)
class Progress:
    """A progress report; phase is a code, phase_name its word."""

    phase: int
    workers: int
    progress: float
    phase_elapsed_seconds: float
    phase_seconds: float
    operations: int

    @property
    def phase_name(self):
        return PHASES.get(self.phase, "unknown")

    @property
    def final(self):
        return self.phase >= 3


@dataclass(frozen=True)
class Result:
    """The summary of a run under the C field names, its samples and reason.

    ops_per_second is None unless the run completed; variation_percent is None
    unless the library computed one (has_variation)."""

    abi_version: int
    status: int
    benchmark: int
    workers: int
    ops_per_second: Optional[float]
    warmup_seconds: float
    measurement_seconds: float
    measured_seconds: float
    variation_percent: Optional[float]
    total_operations: int
    checksum: int
    sample_count: int
    unstable: bool
    has_variation: bool
    reason: str
    samples: List[Sample] = field(default_factory=list)

    @property
    def completed(self):
        return self.status == _native.STATUS_COMPLETED

    @property
    def cancelled(self):
        return self.status == _native.STATUS_CANCELLED

    @property
    def failed(self):
        return self.status == _native.STATUS_FAILED

    @property
    def threads(self):
        return _THREADS_BY_CODE.get(self.benchmark)


class RunFailed(Exception):
    """The library ran but reported failure; reason is its text."""

    def __init__(self, reason, result):
        super().__init__(reason)
        self.reason = reason
        self.result = result


def _seconds(name, value, zero_allowed):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise ValueError(f"{name} must be a number of seconds, not {value!r}")
    seconds = float(value)
    if not math.isfinite(seconds) or seconds >= _SECONDS_LIMIT:
        raise ValueError(f"{name} must be finite, not {value!r}")
    if seconds < 0.0 or (seconds == 0.0 and not zero_allowed):
        raise ValueError(f"{name} must be {'>= 0' if zero_allowed else '> 0'}, not {value!r}")
    return seconds


def _library(library):
    if library is None:
        return load_library()
    if isinstance(library, Library):
        return library
    if isinstance(library, (str, bytes, os.PathLike)):
        return load_library(library)
    raise ValueError(f"library must be a quorlind.Library or a path, not {library!r}")


class Run:
    """One benchmark run. start() runs it on a new thread, run() on the calling
    one; cancel() may be called from any thread at any time, also before the
    start. Only one run at a time per process: a second one fails with
    "another benchmark is already running"."""

    def __init__(self, threads="single", warmup=None, measure=None, on_progress=None, library=None):
        if threads not in THREADS:
            raise ValueError(f"threads must be 'single' or 'all', not {threads!r}")
        if warmup is not None:
            warmup = _seconds("warmup", warmup, zero_allowed=True)
        if measure is not None:
            measure = _seconds("measure", measure, zero_allowed=False)
        if on_progress is not None and not callable(on_progress):
            raise ValueError(f"on_progress must be callable, not {on_progress!r}")
        self._library = _library(library)
        self._config = self._library.default_config()
        self._config.benchmark = THREADS[threads]
        if warmup is not None:
            self._config.warmup_seconds = warmup
        if measure is not None:
            self._config.measurement_seconds = measure
        self._on_progress = on_progress

        self._lock = threading.Lock()  # guards _handle against cancel() racing the free
        self._handle = None
        self._cancel_requested = False
        self._started = False
        self._done = threading.Event()
        self._result = None
        self._error = None  # raised by the callback or by the binding itself

    @property
    def done(self):
        return self._done.is_set()

    @property
    def result(self):
        """The Result once the run has ended (also when it failed), else None."""
        return self._result

    def start(self):
        self._claim()
        threading.Thread(target=self._execute, name="quorlind-run").start()
        return self

    def run(self):
        self._claim()
        self._execute()
        return self._outcome()

    def wait(self, timeout=None):
        """Waits for the end and returns the Result, raising RunFailed for a
        failed run, TimeoutError when `timeout` seconds pass first."""
        if not self._started:
            raise RuntimeError("the run has not been started")
        # Short waits keep the waiting thread responsive to Ctrl-C everywhere.
        deadline = None if timeout is None else time.monotonic() + timeout
        while not self._done.wait(0.1):
            if deadline is not None and time.monotonic() >= deadline:
                raise TimeoutError("the run is still going")
        return self._outcome()

    def cancel(self):
        with self._lock:
            self._cancel_requested = True
            if self._handle:
                self._library._dll.quorlind_cancel(self._handle)

    def _claim(self):
        with self._lock:
            if self._started:
                raise RuntimeError("a Run runs once; create another")
            self._started = True

    def _execute(self):
        dll = self._library._dll
        handle = None
        callback = None
        try:
            handle = dll.quorlind_create()
            if not handle:
                raise MemoryError("quorlind_create returned no handle")
            with self._lock:
                self._handle = handle
                if self._cancel_requested:
                    dll.quorlind_cancel(handle)
            # The ctypes callback must outlive the foreign call: this frame
            # holds it until quorlind_run has returned.
            callback = _native.PROGRESS_CALLBACK(self._progress) if self._on_progress else _native.PROGRESS_CALLBACK()
            status = dll.quorlind_run(handle, ctypes.byref(self._config), callback, None)
            self._result = _collect(dll, handle)
            if self._result.status != status:
                raise RuntimeError(f"quorlind_run returned {status}, the summary says {self._result.status}")
        except BaseException as error:  # reported by wait(); nothing may escape a thread silently
            if self._error is None:
                self._error = error
        finally:
            with self._lock:
                self._handle = None
                if handle:
                    dll.quorlind_free(handle)
            del callback
            self._done.set()

    def _progress(self, event, _user_data):
        # Runs on the thread inside quorlind_run. An exception cannot cross
        # back into C: the first one stops the run and is re-raised by wait().
        try:
            record = event.contents
            self._on_progress(
                Progress(
                    record.phase,
                    record.workers,
                    record.progress,
                    record.phase_elapsed_seconds,
                    record.phase_seconds,
                    record.operations,
                )
            )
        except BaseException as error:
            if self._error is None:
                self._error = error
            self.cancel()

    def _outcome(self):
        if self._error is not None:
            raise self._error
        if self._result.failed:
            raise RunFailed(self._result.reason, self._result)
        return self._result


def _collect(dll, handle):
    summary = _native.RunSummary()
    if not dll.quorlind_result(handle, ctypes.byref(summary)):
        raise RuntimeError("the library stored no outcome")
    samples = []
    record = _native.IntervalSample()
    for index in range(summary.sample_count):
        if not dll.quorlind_sample(handle, index, ctypes.byref(record)):
            raise RuntimeError(f"sample {index} of {summary.sample_count} is missing")
        samples.append(Sample(record.end_seconds, record.duration_seconds, record.operations, record.ops_per_second))
    reason = dll.quorlind_reason(handle)
    return Result(
        abi_version=summary.abi_version,
        status=summary.status,
        benchmark=summary.benchmark,
        workers=summary.workers,
        ops_per_second=summary.ops_per_second if summary.status == _native.STATUS_COMPLETED else None,
        warmup_seconds=summary.warmup_seconds,
        measurement_seconds=summary.measurement_seconds,
        measured_seconds=summary.measured_seconds,
        variation_percent=summary.variation_percent if summary.has_variation else None,
        total_operations=summary.total_operations,
        checksum=summary.checksum,
        sample_count=summary.sample_count,
        unstable=bool(summary.unstable),
        has_variation=bool(summary.has_variation),
        reason=(reason or b"").decode("utf-8", errors="replace"),
        samples=samples,
    )


def run(threads="single", warmup=None, measure=None, on_progress=None, library=None):
    """Runs the benchmark and returns its Result. Defaults come from the
    library (quorlind_default_config). A cancelled run returns its partial
    result; a failed one raises RunFailed. on_progress(Progress) is called on
    the run's own thread. Ctrl-C cancels the run, then propagates."""
    job = Run(threads, warmup, measure, on_progress, library).start()
    try:
        return job.wait()
    except KeyboardInterrupt:
        job.cancel()
        job._done.wait()
        raise
