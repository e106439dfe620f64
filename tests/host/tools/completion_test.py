#!/usr/bin/python3
"""Checks the shell completions against the options quorlind-bench's --help lists.

completion_test.py --bench PATH --completions DIR

Loads the bash completion in a real bash and completes, for the run and for
each subcommand, "--" (which must offer exactly the options its --help
lists), a prefix such as "--th" or "compare --thr", the words of --threads
and, for compare and report, *.json files. zsh and fish, where installed,
must accept their files, and fish must complete the same prefixes. Exit 0
when every check passes, 1 otherwise.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

from checks import check, failures, run

OPTION = re.compile(r"^\s+(?:-h,)?(--[a-z][a-z-]*)\b")


def help_options(bench, command):
    """The long options a --help page lists, in its Options section."""
    text = run([bench] + command + ["--help"]).stdout
    section = text.split("Options:", 1)[1] if "Options:" in text else ""
    section = re.split(r"\n\S", section, maxsplit=1)[0]
    return {m.group(1) for m in map(OPTION.match, section.splitlines()) if m}


def bash_complete(script, words, cwd):
    """What bash offers for the last of words, as the completion function sees it."""
    quoted = " ".join("'" + w.replace("'", "'\\''") + "'" for w in words)
    program = (f"source '{script}'\n"
               f"COMP_WORDS=({quoted}); COMP_CWORD={len(words) - 1}\n"
               "_quorlind_bench\n"
               "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
    result = subprocess.run(["bash", "--norc", "--noprofile", "-c", program], capture_output=True, text=True,
                            cwd=cwd, timeout=30)
    check(result.returncode == 0, f"bash completing {words}: {result.stderr}")
    return {line for line in result.stdout.splitlines() if line}


def fish_complete(script, line, cwd):
    result = subprocess.run(["fish", "--no-config", "-c", f"source '{script}'; complete -C'{line}'"],
                            capture_output=True, text=True, cwd=cwd, timeout=30)
    check(result.returncode == 0, f"fish completing {line!r}: {result.stderr}")
    return {entry.split("\t", 1)[0] for entry in result.stdout.splitlines() if entry}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--completions", required=True)
    arguments = parser.parse_args()
    completions = os.path.abspath(arguments.completions)  # the shells run in a folder of their own
    bash_script = os.path.join(completions, "quorlind-bench.bash")
    work = tempfile.mkdtemp(prefix="quorlind-completion-")
    for name in ("base.json", "new.json", "notes.txt"):
        open(os.path.join(work, name), "w").close()
    os.mkdir(os.path.join(work, "saved"))

    commands = {"": [], "compare": ["compare"], "report": ["report"]}
    listed = {name: help_options(arguments.bench, command) for name, command in commands.items()}
    check("--threads" in listed[""] and "--threshold" in listed["compare"] and "--html" in listed["report"],
          f"--help lists no options as expected: {listed}")
    for name, command in commands.items():
        offered = bash_complete(bash_script, ["quorlind-bench"] + command + ["--"], work)
        check(offered == listed[name],
              f"bash completes {' '.join(command + ['--'])} to {sorted(offered)}, --help lists {sorted(listed[name])}")
    for words, expected in ((["--th"], {"--threads"}), (["compare", "--thr"], {"--threshold"}),
                            (["--threads", ""], {"single", "all", "both"}), (["", ], {"compare", "report"}),
                            (["compare", "base.json", ""], {"base.json", "new.json", "saved"}),
                            (["report", "n"], {"new.json"})):
        offered = bash_complete(bash_script, ["quorlind-bench"] + words, work)
        check(offered == expected, f"bash completes {words} to {sorted(offered)}, expected {sorted(expected)}")

    zsh_script = os.path.join(completions, "_quorlind-bench")
    if shutil.which("zsh"):
        result = subprocess.run(["zsh", "-n", zsh_script], capture_output=True, text=True, timeout=30)
        check(result.returncode == 0, f"zsh -n {zsh_script}: {result.stderr}")
        text = open(zsh_script, encoding="utf-8").read()
        for name, options in listed.items():
            for option in options:
                check(f"'{option}[" in text or "--help" == option, f"the zsh completion lacks {option}")
    fish_script = os.path.join(completions, "quorlind-bench.fish")
    if shutil.which("fish"):
        result = subprocess.run(["fish", "--no-execute", fish_script], capture_output=True, text=True, timeout=30)
        check(result.returncode == 0, f"fish --no-execute {fish_script}: {result.stderr}")
        for name, command in commands.items():
            offered = {o for o in fish_complete(fish_script, " ".join(["quorlind-bench"] + command + ["--"]), work)}
            check(offered == listed[name], f"fish completes {name or 'the run'} -- to {sorted(offered)}, "
                                           f"--help lists {sorted(listed[name])}")
        offered = fish_complete(fish_script, "quorlind-bench compare ", work)
        check(offered == {"base.json", "new.json", "saved/"}, f"fish completes compare's files to {sorted(offered)}")

    if failures:
        print(f"{len(failures)} check(s) failed; files in {work}", file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("the completions offer every option --help lists")
    return 0


if __name__ == "__main__":
    sys.exit(main())
