import math
import os
import sys
import threading
import time
import unittest

from _support import MEASURE, PATIENCE, library_path

import quorlind


class CompletedRunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        library_path()
        cls.events = []
        cls.callback_threads = set()

        def on_progress(event):
            cls.events.append(event)
            cls.callback_threads.add(threading.get_ident())

        cls.result = quorlind.run(threads="single", warmup=0, measure=MEASURE, on_progress=on_progress)

    def test_summary_fields(self):
        r = self.result
        self.assertEqual((r.abi_version, r.status, r.benchmark, r.workers), (1, 0, 1, 1))
        self.assertTrue(r.completed)
        self.assertFalse(r.cancelled or r.failed)
        self.assertEqual(r.threads, "single")
        self.assertEqual(r.reason, "")
        # The configured lengths come back exactly as passed.
        self.assertEqual(r.warmup_seconds, 0.0)
        self.assertEqual(r.measurement_seconds, MEASURE)
        self.assertGreaterEqual(r.measured_seconds, MEASURE * 0.9)
        self.assertLess(r.measured_seconds, PATIENCE)
        self.assertGreater(r.total_operations, 0)
        self.assertTrue(0 <= r.checksum < 2**64)
        self.assertTrue(math.isclose(r.ops_per_second, r.total_operations / r.measured_seconds, rel_tol=1e-9))
        # A single sample gives no variation.
        self.assertFalse(r.has_variation)
        self.assertIsNone(r.variation_percent)
        self.assertFalse(r.unstable)

    def test_samples_tile_the_measurement(self):
        r = self.result
        self.assertEqual(len(r.samples), r.sample_count)
        self.assertGreaterEqual(r.sample_count, 1)
        self.assertEqual(sum(s.operations for s in r.samples), r.total_operations)
        start = 0.0
        for sample in r.samples:
            self.assertGreater(sample.duration_seconds, 0.0)
            self.assertAlmostEqual(sample.end_seconds - start, sample.duration_seconds, places=6)
            self.assertTrue(math.isclose(sample.ops_per_second, sample.operations / sample.duration_seconds,
                                         rel_tol=1e-9))
            start = sample.end_seconds
        self.assertLessEqual(start, r.measured_seconds + 1e-6)

    def test_progress_events(self):
        events = self.events
        self.assertGreaterEqual(len(events), 2)
        self.assertNotIn(threading.get_ident(), self.callback_threads, "run() reports on the run's thread")
        self.assertEqual(len(self.callback_threads), 1)
        self.assertEqual([e.final for e in events], [False] * (len(events) - 1) + [True])
        self.assertEqual(events[-1].phase_name, "completed")
        self.assertEqual(events[-1].operations, self.result.total_operations)
        self.assertEqual(events[-1].phase_elapsed_seconds, self.result.measured_seconds)
        progress = [e.progress for e in events]
        self.assertEqual(progress, sorted(progress))
        self.assertTrue(all(0.0 <= p <= 1.0 for p in progress))
        self.assertTrue(all(e.phase_name == "measurement" for e in events[:-1]))
        self.assertTrue(all(e.workers == 1 for e in events))


class RunShapesTest(unittest.TestCase):
    def setUp(self):
        library_path()

    def test_all_threads_uses_one_worker_per_processor(self):
        result = quorlind.run(threads="all", warmup=0, measure=MEASURE)
        self.assertEqual((result.status, result.benchmark, result.threads), (0, 2, "all"))
        self.assertGreaterEqual(result.workers, 1)
        if sys.platform.startswith("linux"):
            self.assertEqual(result.workers, os.cpu_count())

    def test_run_object_on_the_calling_thread(self):
        threads = set()
        job = quorlind.Run(warmup=0, measure=MEASURE, on_progress=lambda e: threads.add(threading.get_ident()))
        self.assertIsNone(job.result)
        result = job.run()
        self.assertTrue(result.completed)
        self.assertEqual(threads, {threading.get_ident()})
        self.assertTrue(job.done)
        self.assertIs(job.result, result)
        self.assertIs(job.wait(), result)

    def test_explicit_library_argument(self):
        for library in (library_path(), quorlind.load_library(library_path())):
            with self.subTest(library=library):
                self.assertTrue(quorlind.run(warmup=0, measure=0.05, library=library).completed)

    def test_gil_is_released_during_the_run(self):
        # Without callbacks, a foreign call holding the GIL would freeze this
        # thread for the whole half second.
        job = quorlind.Run(warmup=0, measure=0.5)
        longest_gap, last = 0.0, time.monotonic()
        job.start()
        while not job.done:
            now = time.monotonic()
            longest_gap, last = max(longest_gap, now - last), now
        longest_gap = max(longest_gap, time.monotonic() - last)
        self.assertTrue(job.wait(PATIENCE).completed)
        self.assertLess(longest_gap, 0.25)

    def test_failure_reported_by_the_library(self):
        # Valid for the binding, too short for the library to measure.
        with self.assertRaises(quorlind.RunFailed) as caught:
            quorlind.run(warmup=0, measure=1e-12)
        error = caught.exception
        self.assertEqual(error.reason, "measurement duration must be positive")
        self.assertEqual(str(error), error.reason)
        self.assertEqual((error.result.status, error.result.workers, error.result.samples), (2, 0, []))
        self.assertTrue(error.result.failed)
        self.assertIsNone(error.result.ops_per_second)
        self.assertEqual(error.result.measurement_seconds, 1e-12)


class _Recorder:
    """Passes calls to the real library and notes which functions were used."""

    def __init__(self, dll, calls):
        self._dll, self._calls = dll, calls

    def __getattr__(self, name):
        self._calls.append(name)
        return getattr(self._dll, name)


class ArgumentTest(unittest.TestCase):
    def setUp(self):
        real = quorlind.load_library(library_path())
        self.library = quorlind.Library.__new__(quorlind.Library)
        self.library.__dict__.update(real.__dict__)
        self.calls = []
        self.library._dll = _Recorder(real._dll, self.calls)

    def test_bad_arguments_raise_value_error_before_running(self):
        cases = [
            {"threads": "many"},
            {"threads": 2},
            {"warmup": -1.0},
            {"warmup": -1e-300},
            {"warmup": float("nan")},
            {"warmup": float("inf")},
            {"warmup": 2.0**64},
            {"warmup": "1"},
            {"warmup": True},
            {"measure": 0},
            {"measure": -0.0},
            {"measure": -0.5},
            {"measure": float("nan")},
            {"measure": float("-inf")},
            {"on_progress": 42},
        ]
        for arguments in cases:
            with self.subTest(**{k: repr(v) for k, v in arguments.items()}):
                with self.assertRaises(ValueError):
                    quorlind.run(**{"warmup": 0, "measure": MEASURE, "library": self.library, **arguments})
        self.assertNotIn("quorlind_create", self.calls)
        self.assertNotIn("quorlind_run", self.calls)
        with self.assertRaises(ValueError):
            quorlind.run(warmup=0, measure=MEASURE, library=3.5)

    def test_the_recorder_sees_a_real_run(self):
        # Guards the test above against a recorder that sees nothing.
        quorlind.run(warmup=0, measure=0.05, library=self.library)
        self.assertIn("quorlind_run", self.calls)


if __name__ == "__main__":
    unittest.main()
