#!/usr/bin/python3
"""Checks the manual page against the options quorlind-bench's --help lists.

man_page_test.py --bench PATH --man-page docs/quorlind-bench.1

The synopsis line of the run (with those of --system and --version), of
compare and of report must each name exactly the options that command's
--help lists, and each option must have its own entry below. groff, where
installed, must render the page without a warning. Exit 0 when every check
passes, 1 otherwise.
"""
import argparse
import re
import shutil
import subprocess
import sys

from checks import check, failures, run

HELP_OPTION = re.compile(r"^\s+(?:-h,)?(--[a-z][a-z-]*)\b")
ROFF_OPTION = re.compile(r"\\-\\-([a-z](?:[a-z]|\\-)*)")


def help_options(bench, command):
    text = run([bench] + command + ["--help"]).stdout
    section = text.split("Options:", 1)[1] if "Options:" in text else ""
    section = re.split(r"\n\S", section, maxsplit=1)[0]
    return {m.group(1) for m in map(HELP_OPTION.match, section.splitlines()) if m} - {"--help"}


def sections(page):
    """{"SYNOPSIS": text, ...} by .SH heading."""
    found = {}
    for part in re.split(r"^\.SH ", page, flags=re.MULTILINE)[1:]:
        heading, _, body = part.partition("\n")
        found[heading.strip().strip('"')] = body
    return found


def synopsis_options(synopsis):
    """The options of each synopsis line, by the command it is for ("" for the run)."""
    found = {"": set(), "compare": set(), "report": set()}
    for block in synopsis.split(".br\n"):
        head = block.split("\n", 1)[0]
        command = next((name for name in ("compare", "report") if re.search(rf"\b{name}\b", head)), "")
        found[command] |= {"--" + name.replace("\\-", "-") for name in ROFF_OPTION.findall(block)}
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--man-page", required=True)
    arguments = parser.parse_args()
    page = open(arguments.man_page, encoding="utf-8").read()
    parts = sections(page)
    check("SYNOPSIS" in parts and "OPTIONS" in parts, f"the page has sections {sorted(parts)}")
    documented = synopsis_options(parts.get("SYNOPSIS", ""))
    entries = {"--" + name.replace("\\-", "-")
               for name in re.findall(r"^\.TP\n\.B[IR]? \\-\\-([a-z](?:[a-z]|\\-)*)", page, re.MULTILINE)}
    for command in ("", "compare", "report"):
        listed = help_options(arguments.bench, [command] if command else [])
        label = command or "the run"
        check(documented[command] == listed,
              f"synopsis of {label}: {sorted(documented[command])}, --help lists {sorted(listed)}")
        for option in sorted(listed - entries):
            check(False, f"{label}: {option} has no entry of its own (.TP) in the page")

    if shutil.which("groff"):
        result = subprocess.run(["groff", "-man", "-ww", "-z", arguments.man_page], capture_output=True, text=True,
                                timeout=60)
        check(result.returncode == 0 and not result.stderr.strip(), f"groff warns: {result.stderr}")

    if failures:
        print(f"{len(failures)} check(s) failed", file=sys.stderr)
        return 1
    print("the manual page names every option --help lists")
    return 0


if __name__ == "__main__":
    sys.exit(main())
