#!/usr/bin/env python3
"""Picks events out of a device simulator's --json log.

events.py LOG [--since T] [--until T] [--field NAME] [KEY=VALUE ...]

Prints the field NAME (default t) of each event whose KEY fields equal the
given VALUEs (compared as text: true, null and numbers as JSON writes them),
one per line, in the log's order. Lines that are not JSON (a line being
written) are skipped.
"""
import json
import sys


def text(v):
    if v is True:
        return "true"
    if v is False:
        return "false"
    if v is None:
        return "null"
    return str(v)


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    log, since, until, field, want = argv[1], None, None, "t", {}
    args = iter(argv[2:])
    for a in args:
        if a == "--since":
            since = float(next(args))
        elif a == "--until":
            until = float(next(args))
        elif a == "--field":
            field = next(args)
        elif "=" in a:
            k, v = a.split("=", 1)
            want[k] = v
        else:
            print("events.py: unknown argument " + a, file=sys.stderr)
            return 2
    try:
        lines = open(log, encoding="utf-8", errors="replace").read().splitlines()
    except OSError:
        return 0
    for line in lines:
        try:
            e = json.loads(line)
        except ValueError:
            continue
        t = e.get("t", 0)
        if since is not None and t < since:
            continue
        if until is not None and t > until:
            continue
        if all(text(e.get(k)) == v for k, v in want.items()):
            print(text(e.get(field)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
