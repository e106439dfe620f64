#!/usr/bin/python3
"""Renders quorlind-bench's --markdown output with cmark-gfm and reads its tables.

markdown_test.py --bench PATH --data DIR

A real short run of both kinds writes its Markdown beside the text report;
a single run prints it alone with --markdown -; compare writes its verdict
table for saved results, one under a file name full of Markdown's own
characters. Rendered as GitHub-flavoured Markdown, each table must have the
columns it should, the numbers must read as the text report prints them, and
the comparison must state the exit code it ended with. Exit 0 when every
check passes, 1 otherwise, 77 (skipped) without cmark-gfm.
"""
import argparse
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile

from checks import check, failures, run

CMARK = shutil.which("cmark-gfm")
RUN_COLUMNS = ["kind", "runs", "median ops/s", "95 % interval", "run to run", "stability"]


class Tables(html.parser.HTMLParser):
    """Every <table> as a list of rows of cell texts, the header row first."""

    def __init__(self):
        super().__init__()
        self.tables, self.row, self.cell = [], None, None

    def handle_starttag(self, tag, attrs):
        if tag == "table":
            self.tables.append([])
        elif tag == "tr":
            self.row = []
        elif tag in ("td", "th"):
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.row.append(self.cell.strip())
            self.cell = None
        elif tag == "tr" and self.row is not None:
            self.tables[-1].append(self.row)
            self.row = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def render(markdown):
    result = subprocess.run([CMARK, "--extension", "table", "--to", "html"], input=markdown, capture_output=True,
                            text=True, timeout=60)
    check(result.returncode == 0, f"cmark-gfm failed: {result.stderr}")
    parser = Tables()
    parser.feed(result.stdout)
    return parser.tables, result.stdout


def text_statistics(report):
    """{"Single thread": {"Median": ..., ...}} from the text report's kind sections."""
    kinds, current = {}, None
    for line in report.splitlines():
        heading = re.match(r"^(Single thread|All threads): ", line)
        if heading:
            current = kinds.setdefault(heading.group(1), {})
        elif current is not None and re.match(r"^  \S", line):
            label, _, value = line.strip().partition("  ")
            current[label] = value.strip()
        elif not line.startswith("  "):
            current = None
    return kinds


def check_run_table(table, report):
    check(table and table[0] == RUN_COLUMNS, f"run table header {table[:1]}")
    rows = {row[0]: dict(zip(RUN_COLUMNS, row)) for row in table[1:]}
    check(set(rows) == {"Single thread", "All threads"}, f"run table rows {sorted(rows)}")
    for kind, figures in text_statistics(report).items():
        row = rows.get(kind, {})
        check(figures.get("Median") == row.get("median ops/s", "?") + " operations/s",
              f"{kind}: median {row.get('median ops/s')}, the text report says {figures.get('Median')}")
        interval = re.search(r"95 % confidence interval (\S+) to (\S+),", figures.get("Mean", ""))
        check(interval and row.get("95 % interval") == f"{interval.group(1)} to {interval.group(2)}",
              f"{kind}: interval {row.get('95 % interval')}, the text report says {figures.get('Mean')}")
        check(figures.get("Run to run") == "coefficient of variation " + row.get("run to run", "?"),
              f"{kind}: run to run {row.get('run to run')}, the text report says {figures.get('Run to run')}")
        check(row.get("runs") == "2", f"{kind}: runs {row.get('runs')}")
        check(row.get("stability", "") != "", f"{kind}: no stability")


def text_verdict_rows(report):
    """The text comparison's table rows below its header, cells split where two spaces part them."""
    rows, inside = [], False
    for line in report.splitlines():
        if "BASE ops/s" in line:
            inside = True
        elif inside and not line.strip():
            break
        elif inside:
            rows.append(re.split(r"\s{2,}", line.strip()))
    return rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--data", required=True)
    arguments = parser.parse_args()
    if not CMARK:
        print("skipped: cmark-gfm is not installed", file=sys.stderr)
        return 77
    work = tempfile.mkdtemp(prefix="quorlind-markdown-")

    markdown_path = os.path.join(work, "result.md")
    report = run([arguments.bench, "--threads", "both", "--repeat", "2", "--warmup", "0", "--measure", "0.5",
                  "--quiet", "--markdown", markdown_path]).stdout
    with open(markdown_path, encoding="utf-8") as file:
        tables, _ = render(file.read())
    check(len(tables) == 1, f"{markdown_path}: {len(tables)} tables")
    if tables:
        check_run_table(tables[0], report)

    alone = run([arguments.bench, "--warmup", "0", "--measure", "0.3", "--quiet", "--markdown", "-"]).stdout
    check("Throughput" not in alone, "--markdown - printed the text report too")
    tables, _ = render(alone)
    check(len(tables) == 1 and len(tables[0]) == 2 and tables[0][1][:2] == ["Single thread", "1"] and
          tables[0][1][3] == "- (one run)", f"one run: {tables}")

    # A file name Markdown would otherwise read as a cell break, emphasis, a link and HTML.
    odd_name = os.path.join(work, "new | *fast* [x](y) <b>.json")
    shutil.copy(os.path.join(arguments.data, "result-v2-slower.json"), odd_name)
    base = os.path.join(arguments.data, "result-v2-base.json")
    verdicts_path = os.path.join(work, "compare.md")
    compared = run([arguments.bench, "compare", base, odd_name, "--markdown", verdicts_path], expect=3)
    with open(verdicts_path, encoding="utf-8") as file:
        tables, rendered = render(file.read())
    check(len(tables) == 2, f"{verdicts_path}: {len(tables)} tables")
    if len(tables) == 2:
        files, verdicts = tables
        check([row[:1] for row in files[1:]] == [["BASE"], ["NEW"]], f"file table {files}")
        check(len(files) == 3 and files[2][1].startswith(odd_name), f"the file name reads {files[2:]} in Markdown")
        check(all(len(row) == 2 for row in files), f"a file name broke its row: {files}")
        expected = text_verdict_rows(compared.stdout)
        check(verdicts[1:] == expected, f"verdict rows {verdicts[1:]}, the text report has {expected}")
    check("<b>" not in rendered, "a file name became HTML")
    check("Exit code 3: slower: the whole interval lies below" in rendered, f"the exit code is not stated: {rendered}")

    # Three runs a side exclude a 5 % slowdown of a file against itself, not a 2 % one.
    same = run([arguments.bench, "compare", base, base, "--threshold", "5", "--markdown", "-"], expect=0).stdout
    check("Quorlind comparison: threshold" not in same, "--markdown - printed the text comparison too")
    check("Exit code 0: same or faster" in render(same)[1], f"the exit code is not stated: {same}")

    if failures:
        print(f"{len(failures)} check(s) failed; files in {work}", file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("cmark-gfm renders every Markdown table with the text report's numbers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
