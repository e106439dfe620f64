#!/usr/bin/python3
"""Writes the version-2 result files that the compare tests read.

Run from this folder: ./make_compare_fixtures.py. The numbers are chosen,
not measured, so that each comparison has a known verdict:
  result-v2-base.json           3 single-thread and 3 all-threads runs
  result-v2-slower.json         the same machine, single-thread 10 % slower
  result-v2-other-library.json  as the base, but library 0.0.3
"""
import copy
import json

RATES = (1.004, 0.998, 0.998)  # each run's three intervals around its throughput


def run(index, benchmark, throughput, workers):
    samples, end, total = [], 0.0, 0
    for i, factor in enumerate(RATES):
        duration = 1.0 + 0.001 * (i + 1)
        operations = round(throughput * factor * duration)
        end += duration
        total += operations
        samples.append({"end_seconds": round(end, 9), "duration_seconds": duration,
                        "operations": operations, "ops_per_second": operations / duration})
    measured = round(end, 9)
    return {
        "index": index, "benchmark": benchmark, "threads": "single" if benchmark == 1 else "all",
        "partial": False,
        "status": {"code": 0, "name": "completed", "reason": ""},
        "summary": {
            "abi_version": 1, "status": 0, "benchmark": benchmark, "workers": workers,
            "ops_per_second": total / measured, "warmup_seconds": 0.5, "measurement_seconds": 3.0,
            "measured_seconds": measured, "variation_percent": 0.3, "total_operations": total,
            "checksum": 1234567890123 + index, "checksum_hex": "0x%016x" % (1234567890123 + index),
            "sample_count": 3, "unstable": 0, "has_variation": 1},
        "samples": samples,
        "stability": {"trend_percent": None, "trend_significant": False, "instability": "none"},
    }


def statistics(throughputs):
    ordered = sorted(throughputs)
    mean = sum(ordered) / len(ordered)
    return {"runs": len(ordered), "completed": len(ordered), "median": ordered[len(ordered) // 2],
            "minimum": ordered[0], "maximum": ordered[-1], "mean": mean,
            "ci95_low": None, "ci95_high": None, "cv_percent": None}


def result(single, all_threads, **system):
    runs = []
    for i in range(3):
        runs.append(run(2 * i, 1, single[i], 1))
        runs.append(run(2 * i + 1, 2, all_threads[i], 4))
    document = {
        "schema_version": 2,
        "tool": {"name": "quorlind-bench", "version": "0.0.2", "compiler": "GCC",
                 "compiler_version": "12.2.0", "build_type": "Release"},
        "configuration": {"threads": "both", "repeat": 3, "warmup_seconds": 0.5, "measurement_seconds": 3.0},
        "system": {
            "processor": "Example CPU 4000", "logical_processors": 4, "operating_system": "Linux 6.1.0 (x86_64)",
            "library_version": "0.0.2", "abi_version": 1, "start_time_utc": "2026-01-05T10:00:00Z",
            "monotonic_start_seconds": 5000.0, "host_name": "bench-a", "packages": 1, "physical_cores": 2,
            "smt": True, "numa_nodes": 1,
            "caches": {"l1d": {"size_bytes": 32768, "count": 2}, "l2": {"size_bytes": 524288, "count": 2},
                       "l3": {"size_bytes": 16777216, "count": 1}},
            "base_frequency_mhz": 3000.0, "max_frequency_mhz": 4000.0,
            "effective_clock_mhz": {"before": 3990.0, "after": 3985.0}, "governor": "performance",
            "boost": True, "hypervisor": {"present": False, "vendor": None}, "os_name": "Debian GNU/Linux",
            "os_version": "12", "os_build": "6.1.0-18-amd64", "load_average": {"before": None, "after": None},
            "library_compiler": "GCC", "library_compiler_version": "12.2.0", "library_build_type": "Release"},
        "runs": [r for r in runs],
        "statistics": {"single": statistics([r["summary"]["ops_per_second"] for r in runs if r["benchmark"] == 1]),
                       "all": statistics([r["summary"]["ops_per_second"] for r in runs if r["benchmark"] == 2])},
        "scaling": None,
        "notes": [],
    }
    document["system"].update(system)
    return document


def write(name, document):
    with open(name, "w", encoding="utf-8") as file:
        json.dump(document, file, indent=2)
        file.write("\n")


base = result((10000.0, 10100.0, 9900.0), (19000.0, 19200.0, 18800.0))
write("result-v2-base.json", base)
write("result-v2-slower.json",
      result((9000.0, 9050.0, 8950.0), (19100.0, 18900.0, 19000.0), governor="powersave", boost=False,
             host_name="bench-b", start_time_utc="2026-01-06T10:00:00Z"))
write("result-v2-other-library.json", result((10000.0, 10100.0, 9900.0), (19000.0, 19200.0, 18800.0),
                                             library_version="0.0.3"))
