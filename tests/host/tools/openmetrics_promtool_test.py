#!/usr/bin/python3
"""Checks quorlind-bench's --openmetrics files with Prometheus' own promtool.

openmetrics_promtool_test.py --bench PATH

A real short run of both kinds writes its metrics; `report` writes them again
from a saved result whose processor name holds a backslash, a double quote
and a line break. promtool must accept both files without a lint remark, the
label must read back as the original name, a file written over an old one
replaces it whole, and a bad input file leaves no output file behind. Exit 0
when every check passes, 1 otherwise, 77 (skipped) without promtool.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from checks import check, failures, run

PROMTOOL = shutil.which("promtool")
SPECIAL_PROCESSOR = 'Vendor "Quoted" CPU \\ model\nstepping 2'


def promtool_accepts(path):
    with open(path, "rb") as file:
        result = subprocess.run([PROMTOOL, "check", "metrics"], stdin=file, capture_output=True, text=True,
                                timeout=60)
    return check(result.returncode == 0 and not result.stdout.strip() and not result.stderr.strip(),
                 f"promtool check metrics {path}: exit {result.returncode}: {result.stdout}{result.stderr}")


def unescape_label(value):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "\\": "\\", '"': '"'}[m.group(1)], value)


def samples(path):
    """(name, {label: value}, value) for every sample line."""
    found = []
    label = re.compile(r'([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\.)*)"')
    with open(path, encoding="utf-8") as file:
        for line in file:
            if line.startswith("#") or not line.strip():
                continue
            match = re.fullmatch(r"([a-zA-Z_:][a-zA-Z0-9_:]*)\{(.*)\} (\S+)\n", line)
            if check(match, f"{path}: not a sample line with labels and no timestamp: {line!r}"):
                labels = {k: unescape_label(v) for k, v in label.findall(match.group(2))}
                found.append((match.group(1), labels, float(match.group(3))))
    return found


def leftovers(directory, keep):
    return sorted(set(os.listdir(directory)) - set(keep))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    arguments = parser.parse_args()
    if not PROMTOOL:
        print("skipped: promtool (Debian package prometheus) is not installed", file=sys.stderr)
        return 77

    work = tempfile.mkdtemp(prefix="quorlind-openmetrics-")
    result_path = os.path.join(work, "result.json")
    metrics_path = os.path.join(work, "quorlind.prom")
    with open(metrics_path, "w", encoding="utf-8") as file:
        file.write("an older file that must be replaced whole\n")
    run([arguments.bench, "--threads", "both", "--repeat", "2", "--warmup", "0", "--measure", "0.5", "--quiet",
         "--json", result_path, "--openmetrics", metrics_path])
    check(leftovers(work, ["result.json", "quorlind.prom"]) == [], f"temporary files left: {os.listdir(work)}")
    if promtool_accepts(metrics_path):
        found = samples(metrics_path)
        with open(result_path, encoding="utf-8") as file:
            result = json.load(file)
        throughput = {s[1].get("kind"): s[2] for s in found if s[0] == "quorlind_throughput_operations_per_second"}
        for kind in ("single", "all"):
            median = result["statistics"][kind]["median"]
            check(kind in throughput and abs(throughput[kind] - median) <= 1e-9 * median,
                  f"throughput of {kind}: {throughput.get(kind)}, the result says {median}")
        names = {s[0] for s in found}
        for name in ("quorlind_runs", "quorlind_unstable", "quorlind_start_time_seconds",
                     "quorlind_throughput_ci95_half_width_operations_per_second",
                     # What docs/fleet/quorlind.rules.yml's disturbed rule reads.
                     "quorlind_disturbed", "quorlind_worker_cpu_share"):
            check(name in names, f"no {name} in {sorted(names)}")
        check(all(s[1].get("processor") == result["system"]["processor"] for s in found),
              "a sample lacks the processor label")

        result["system"]["processor"] = SPECIAL_PROCESSOR
        special_result = os.path.join(work, "special.json")
        special_metrics = os.path.join(work, "special.prom")
        with open(special_result, "w", encoding="utf-8") as file:
            json.dump(result, file)
        run([arguments.bench, "report", special_result, "--openmetrics", special_metrics])
        if promtool_accepts(special_metrics):
            processors = {s[1].get("processor") for s in samples(special_metrics)}
            check(processors == {SPECIAL_PROCESSOR}, f"processor labels read back as {processors}")

    # A bad input: an error naming the file, and neither output nor temporary file.
    truncated = os.path.join(work, "truncated.json")
    with open(truncated, "w", encoding="utf-8") as file:
        file.write('{"schema_version": 2, "tool": {"name": "quorlind-bench"')
    before = set(os.listdir(work))
    bad = run([arguments.bench, "report", truncated, "--openmetrics", os.path.join(work, "bad.prom"),
               "--html", os.path.join(work, "bad.html")], expect=1)
    check("truncated.json" in bad.stderr, f"the error does not name the file: {bad.stderr}")
    check(set(os.listdir(work)) == before, f"a bad input left files: {sorted(set(os.listdir(work)) - before)}")

    if failures:
        print(f"{len(failures)} check(s) failed; files in {work}", file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("promtool accepts every metrics file")
    return 0


if __name__ == "__main__":
    sys.exit(main())
