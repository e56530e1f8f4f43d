#!/usr/bin/python3
"""Checks JSON lines written by korvel-cli against the schemas the package ships.

usage: json_schema_check.py events FILE   (--json output: one object per line)
       json_schema_check.py log FILE      (--log-file lines)
Exits 0 when every line fits, 1 (saying which line and why) when one does not, 2 on wrong use.
"""
import json
import pathlib
import sys

import jsonschema

SCHEMAS = pathlib.Path(__file__).resolve().parent.parent.parent / "data"
FILES = {"events": "korvel-cli-events.schema.json", "log": "korvel-cli-log.schema.json"}


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in FILES:
        print("usage: json_schema_check.py events|log FILE", file=sys.stderr)
        return 2
    schema = json.loads((SCHEMAS / FILES[sys.argv[1]]).read_text(encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    path = sys.argv[2]
    try:
        lines = pathlib.Path(path).read_bytes().decode("utf-8").splitlines()
    except (OSError, UnicodeDecodeError) as error:
        print(f"{path}: cannot be read: {error}", file=sys.stderr)
        return 1
    if not lines:
        print(f"{path}: no lines", file=sys.stderr)
        return 1
    for number, text in enumerate(lines, 1):
        try:
            error = jsonschema.exceptions.best_match(validator.iter_errors(json.loads(text)))
            wrong = error and "/".join(map(str, error.absolute_path)) + ": " + error.message
        except json.JSONDecodeError as error:
            wrong = str(error)
        if wrong:
            print(f"{path}:{number}: {wrong}: {text}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
