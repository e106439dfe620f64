#!/usr/bin/python3
"""Validates quorlind-bench JSON files against the published schema.

validate_result.py SCHEMA FILE... [--definition NAME]

With --definition the files are checked against SCHEMA's $defs/NAME (for
example system_document, what --system --json writes). Exit 0 when every file
is valid; otherwise each error is printed with its file and path, exit 1.
"""
import argparse
import json
import sys

import jsonschema


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("schema")
    parser.add_argument("files", nargs="+")
    parser.add_argument("--definition")
    arguments = parser.parse_args()

    with open(arguments.schema, encoding="utf-8") as file:
        schema = json.load(file)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    if arguments.definition:
        # evolve keeps the root's resolver, so "#/$defs/..." still resolves.
        validator = validator.evolve(schema=schema["$defs"][arguments.definition])

    failed = False
    for path in arguments.files:
        try:
            with open(path, encoding="utf-8") as file:
                document = json.load(file)
        except (OSError, ValueError) as error:
            print(f"{path}: {error}", file=sys.stderr)
            failed = True
            continue
        for error in sorted(validator.iter_errors(document), key=lambda e: list(e.path)):
            location = "/".join(str(part) for part in error.path) or "(document)"
            print(f"{path}: {location}: {error.message}", file=sys.stderr)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
