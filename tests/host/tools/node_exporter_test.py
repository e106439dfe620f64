#!/usr/bin/python3
"""Serves quorlind-bench's --openmetrics file through Debian's node_exporter.

node_exporter_test.py --bench PATH --result RESULT.json

Writes the metrics of a saved result into a directory of their own, starts
prometheus-node-exporter on a loopback port with only the textfile collector
over it, scrapes /metrics once and stops it. node_textfile_scrape_error must
be 0 and every quorlind_ sample of the file must be served with its labels
and value. Exit 0 when every check passes, 1 otherwise, 77 (skipped) without
node_exporter.
"""
import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

from checks import check, failures, run

EXPORTER = shutil.which("prometheus-node-exporter") or shutil.which("node_exporter")
START_SECONDS = 30
SAMPLE = re.compile(r"^([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{(.*)\})? (\S+)$")
LABEL = re.compile(r'([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\.)*)"')


def samples(text):
    """{(name, sorted labels): value} for every sample line."""
    found = {}
    for line in text.splitlines():
        match = SAMPLE.match(line)
        if match and not line.startswith("#"):
            labels = tuple(sorted(LABEL.findall(match.group(2) or "")))
            found[(match.group(1), labels)] = float(match.group(3))
    return found


def free_loopback_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def scrape(port, exporter):
    """/metrics once node_exporter answers, or None when it never does."""
    deadline = time.monotonic() + START_SECONDS
    while time.monotonic() < deadline and exporter.poll() is None:
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=5) as response:
                return response.read().decode("utf-8")
        except OSError:
            time.sleep(0.2)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--result", required=True)
    arguments = parser.parse_args()
    if not EXPORTER:
        print("skipped: prometheus-node-exporter is not installed", file=sys.stderr)
        return 77

    work = tempfile.mkdtemp(prefix="quorlind-node-exporter-")
    textfiles = os.path.join(work, "textfile")
    os.mkdir(textfiles)
    metrics_path = os.path.join(textfiles, "quorlind.prom")
    run([arguments.bench, "report", arguments.result, "--openmetrics", metrics_path])
    with open(metrics_path, encoding="utf-8") as file:
        written = samples(file.read())
    check(written, f"{metrics_path} holds no sample")

    served = None
    # Another process may take the port between the probe and the start: try again.
    for attempt in range(3):
        port = free_loopback_port()
        log = open(os.path.join(work, f"node_exporter-{attempt}.log"), "w")
        exporter = subprocess.Popen(
            [EXPORTER, f"--web.listen-address=127.0.0.1:{port}", "--collector.disable-defaults",
             "--collector.textfile", f"--collector.textfile.directory={textfiles}"],
            stdout=log, stderr=subprocess.STDOUT)
        try:
            served = scrape(port, exporter)
        finally:
            exporter.terminate()
            try:
                exporter.wait(timeout=10)
            except subprocess.TimeoutExpired:
                exporter.kill()
                exporter.wait(timeout=10)
            log.close()
        if served is not None:
            break
    if check(served is not None, f"node_exporter never answered; its logs are in {work}"):
        scraped = samples(served)
        errors = [value for (name, _), value in scraped.items() if name == "node_textfile_scrape_error"]
        check(errors == [0.0], f"node_textfile_scrape_error: {errors}")
        for key, value in written.items():
            check(key in scraped, f"not served: {key}")
            check(key not in scraped or scraped[key] == value, f"{key} served as {scraped.get(key)}, written {value}")
        extra = {key for key in scraped if key[0].startswith("quorlind_")} - set(written)
        check(not extra, f"served but not written: {sorted(extra)}")

    if failures:
        print(f"{len(failures)} check(s) failed; files in {work}", file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print(f"node_exporter serves all {len(written)} quorlind_ samples")
    return 0


if __name__ == "__main__":
    sys.exit(main())
