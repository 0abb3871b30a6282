#!/usr/bin/python3
"""Reads TOML job files with Python's tomllib, a parser independent of the program's, and
prints one JSON object: for each file given, null when tomllib rejects it, otherwise its
keys by section ("" the top, dots joining nested tables) with each value as JSON (strings,
integers, booleans, arrays of strings) or, for any other value, {"type": NAME}.

A UTF-8 byte-order mark at the start is taken off first: Windows editors write one, and job
files may start with it.

Usage: toml-reference.py FILE...
"""
import datetime
import json
import sys
import tomllib


def value(v):
    if isinstance(v, (str, bool, int)) and not isinstance(v, float):
        return v
    if isinstance(v, list):
        return v if all(isinstance(item, str) for item in v) else {"type": "array"}
    if isinstance(v, float):
        return {"type": "float"}
    if isinstance(v, (datetime.date, datetime.time)):
        return {"type": "date"}
    return {"type": "table"}


def flatten(table, section, out):
    out.setdefault(section, {})
    for key, v in table.items():
        if isinstance(v, dict):
            flatten(v, f"{section}.{key}" if section else key, out)
        else:
            out[section][key] = value(v)
    return out


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        return flatten(tomllib.loads(data.decode("utf-8")), "", {})
    except (tomllib.TOMLDecodeError, UnicodeDecodeError):
        return None


if __name__ == "__main__":
    json.dump({path: read(path) for path in sys.argv[1:]}, sys.stdout, ensure_ascii=False)
