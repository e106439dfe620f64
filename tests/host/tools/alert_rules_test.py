#!/usr/bin/python3
"""Checks docs/fleet/quorlind.rules.yml with Prometheus' promtool.

alert_rules_test.py --bench PATH --rules FILE --rule-tests FILE --result RESULT.json

promtool check rules must accept the file, and promtool test rules must pass
its unit tests (each alert where it fires and where it must not). Every
quorlind_ metric the rules read must be one the tool writes, so a renamed
metric cannot leave a rule silently matching nothing; quorlind_disturbed
alone may be missing, as older tools do not write it. Exit 0 when every
check passes, 1 otherwise, 77 (skipped) without promtool.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

from checks import check, failures, run

PROMTOOL = shutil.which("promtool")
NOT_YET_WRITTEN = {"quorlind_disturbed"}


def promtool(*arguments):
    result = subprocess.run([PROMTOOL, *arguments], capture_output=True, text=True, timeout=120)
    check(result.returncode == 0, f"promtool {' '.join(arguments)}: exit {result.returncode}: "
                                  f"{result.stdout}{result.stderr}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--rules", required=True)
    parser.add_argument("--rule-tests", required=True)
    parser.add_argument("--result", required=True)
    arguments = parser.parse_args()
    if not PROMTOOL:
        print("skipped: promtool (Debian package prometheus) is not installed", file=sys.stderr)
        return 77
    promtool("check", "rules", arguments.rules)
    promtool("test", "rules", arguments.rule_tests)

    work = tempfile.mkdtemp(prefix="quorlind-rules-")
    metrics = os.path.join(work, "quorlind.prom")
    run([arguments.bench, "report", arguments.result, "--openmetrics", metrics])
    written = set(re.findall(r"^# TYPE (quorlind_[a-z0-9_]+) ", open(metrics, encoding="utf-8").read(), re.MULTILINE))
    read = set(re.findall(r"\bquorlind_[a-z0-9_]+", open(arguments.rules, encoding="utf-8").read()))
    check(read, "the rules read no quorlind_ metric")
    missing = read - written - NOT_YET_WRITTEN
    check(not missing, f"the rules read metrics the tool does not write: {sorted(missing)}")

    if failures:
        print(f"{len(failures)} check(s) failed; files in {work}", file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("promtool accepts the alert rules and their tests pass")
    return 0


if __name__ == "__main__":
    sys.exit(main())
