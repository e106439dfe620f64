import threading
import time
import unittest

from _support import MEASURE, PATIENCE, library_path

import quorlind

# Long enough that only a cancellation can end these runs in time.
LONG = 60.0


def started_run(**arguments):
    """A long run on its own thread, returned once it is measuring."""
    measuring = threading.Event()

    def on_progress(event):
        if event.phase_name == "measurement":
            measuring.set()

    job = quorlind.Run(warmup=0, measure=LONG, on_progress=on_progress, **arguments).start()
    if not measuring.wait(PATIENCE):
        job.cancel()
        raise AssertionError("the run never reported measuring")
    return job


class CancelTest(unittest.TestCase):
    def setUp(self):
        library_path()

    def test_cancel_from_another_thread_returns_the_partial_result(self):
        job = started_run()
        started = time.monotonic()
        job.cancel()
        result = job.wait(PATIENCE)
        self.assertLess(time.monotonic() - started, PATIENCE)
        self.assertTrue(result.cancelled)
        self.assertEqual((result.status, result.reason), (1, "cancelled"))
        self.assertIsNone(result.ops_per_second)
        self.assertEqual(result.workers, 1)
        self.assertLess(result.measured_seconds, LONG)
        self.assertEqual(sum(s.operations for s in result.samples), result.total_operations)
        job.cancel()  # after the end: harmless, the handle is gone

    def test_cancel_before_start(self):
        job = quorlind.Run(warmup=0, measure=LONG)
        job.cancel()
        result = job.start().wait(PATIENCE)
        self.assertEqual((result.status, result.reason), (1, "cancelled before starting"))
        self.assertTrue(result.cancelled)
        self.assertEqual(result.total_operations, 0)

    def test_cancel_from_the_progress_callback(self):
        holder = {}
        job = quorlind.Run(warmup=LONG, measure=LONG, on_progress=lambda event: holder["job"].cancel())
        holder["job"] = job
        result = job.run()
        self.assertEqual((result.status, result.reason), (1, "cancelled"))

    def test_one_run_per_process(self):
        job = started_run()
        try:
            with self.assertRaises(quorlind.RunFailed) as caught:
                quorlind.run(warmup=0, measure=MEASURE)
            self.assertEqual(caught.exception.reason, "another benchmark is already running")
            self.assertEqual(caught.exception.result.workers, 0)
        finally:
            job.cancel()
        self.assertTrue(job.wait(PATIENCE).cancelled)
        # Once the first run is over, the next one may go.
        self.assertTrue(quorlind.run(warmup=0, measure=0.05).completed)

    def test_exception_in_the_callback_stops_the_run_and_propagates(self):
        calls = []

        def on_progress(event):
            calls.append(event)
            raise ZeroDivisionError("from the callback")

        started = time.monotonic()
        with self.assertRaisesRegex(ZeroDivisionError, "from the callback"):
            quorlind.run(warmup=0, measure=LONG, on_progress=on_progress)
        self.assertLess(time.monotonic() - started, PATIENCE)
        self.assertEqual(calls[-1].phase_name, "cancelled")

    def test_run_object_misuse(self):
        job = quorlind.Run(warmup=0, measure=MEASURE)
        with self.assertRaises(RuntimeError):
            job.wait()
        job.start()
        with self.assertRaises(RuntimeError):
            job.start()
        with self.assertRaises(RuntimeError):
            job.run()
        self.assertTrue(job.wait(PATIENCE).completed)

    def test_wait_with_timeout(self):
        job = started_run()
        try:
            with self.assertRaises(TimeoutError):
                job.wait(0.05)
            self.assertFalse(job.done)
        finally:
            job.cancel()
        self.assertTrue(job.wait(PATIENCE).cancelled)


if __name__ == "__main__":
    unittest.main()
