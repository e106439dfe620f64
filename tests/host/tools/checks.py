"""What the tests of quorlind-bench's output against real tools share: checks
that collect their failures instead of stopping at the first, and runs of the
tool that must end with a given exit code."""
import subprocess
import sys

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, file=sys.stderr)
    return condition


def run(arguments, expect=0, timeout=180):
    result = subprocess.run(arguments, capture_output=True, text=True, timeout=timeout)
    check(result.returncode == expect,
          f"{' '.join(arguments)} exited {result.returncode}, expected {expect}: {result.stderr[-2000:]}")
    return result
