#!/usr/bin/python3
"""A disturbed run of quorlind-bench.exe under Wine, where the Windows probe
reads what Wine offers: the tool and three busy processes share one
processor for the middle of the measurement, and the tool must say so.

load_wine_test.py --emulator wine --bench quorlind-bench.exe --work DIR
"""
import argparse
import json
import os
import subprocess
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--bench", required=True)
    parser.add_argument("--work", required=True)
    arguments = parser.parse_args()
    os.makedirs(arguments.work, exist_ok=True)
    result_path = os.path.join(arguments.work, "wine-load.json")
    if os.path.exists(result_path):
        os.remove(result_path)

    # Everything started from here inherits the one processor.
    os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})
    bench = subprocess.Popen([arguments.emulator, arguments.bench, "--warmup", "0.5", "--measure", "4",
                              "--json", "wine-load.json"],
                             cwd=arguments.work, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    errors = []
    for line in bench.stderr:
        errors.append(line)
        if "measurement" in line:
            break
    else:
        print("the run never reached its measurement:\n" + "".join(errors), file=sys.stderr)
        return 1
    # From about 1.2 s to 3 s of the measurement: the interval 2 s ends is disturbed throughout.
    time.sleep(1.2)
    spinners = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(3)]
    time.sleep(1.8)
    for spinner in spinners:
        spinner.kill()
        spinner.wait()
    out, rest = bench.communicate(timeout=120)
    if bench.returncode != 0:
        print(f"quorlind-bench.exe exited with {bench.returncode}:\n" + "".join(errors) + rest, file=sys.stderr)
        return 1

    with open(result_path, encoding="utf-8") as file:
        load = json.load(file)["runs"][0]["load"]
    failures = []
    shares = [i["worker_cpu_share"] for i in load["intervals"] if i["worker_cpu_share"] is not None]
    disturbed = load["intervals"][1] if len(load["intervals"]) >= 3 else None
    if disturbed is None or disturbed["worker_cpu_share"] is None or not shares:
        failures.append("no workers' share for the disturbed interval")
    else:
        # Judged against the run's best interval: other work shares this machine too.
        if not disturbed["worker_cpu_share"] < 0.7 * max(shares):
            failures.append(f"the disturbed interval's share {disturbed['worker_cpu_share']} against {max(shares)}")
        other = disturbed["other_processes_cpus"]
        if other is None or other < 1 / 3:
            failures.append(f"other processes' processors in the disturbed interval: {other}")
    if load["disturbed"] is not True or not load["causes"] or load["causes"][0]["kind"] != "other_processes":
        failures.append(f"not judged disturbed by other processes: {load['disturbed']}, {load['causes']}")
    if "disturbed: other processes used" not in out:
        failures.append("the report does not name other processes")
    for failure in failures:
        print(failure, file=sys.stderr)
    if failures:
        print(json.dumps(load, indent=1), file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
