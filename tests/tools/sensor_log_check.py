#!/usr/bin/env python3
"""Reads sensor log files back with Python's csv module and checks them against
kalorix-test.exe's record of what was logged (KALORIX_SENSOR_LOG_ECHO): BOM,
separator, decimal sign, CR LF, header, times and every value.

usage: sensor_log_check.py tr|standard FOLDER ECHO_FILE
Prints one summary line and exits 0, or lists what differs and exits 1."""
import csv
import io
import json
import os
import re
import sys

TIME = re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{2}:\d{2}$")


def expected_text(value, decimals, fmt):
    text = format(value, ".%df" % decimals)
    if text.startswith("-") and text.strip("-0.") == "":
        text = text[1:]
    return text.replace(".", ",") if fmt == "tr" else text


def check(fmt, folder, echo_path):
    problems = []
    files = {}
    with open(echo_path, encoding="utf-8") as echo:
        for line in echo:
            if line.strip():
                entry = json.loads(line)
                files.setdefault(entry["file"], []).append(entry)
    if not files:
        return ["the echo lists no row"], 0, 0, 0
    delimiter = ";" if fmt == "tr" else ","
    rows_seen = values_seen = 0
    for name, entries in files.items():
        raw = open(os.path.join(folder, name), "rb").read()
        has_bom = raw.startswith(b"\xef\xbb\xbf")
        if has_bom != (fmt == "tr"):
            problems.append("%s: byte-order mark %s" % (name, "present" if has_bom else "missing"))
        if raw.count(b"\n") != raw.count(b"\r\n"):
            problems.append("%s: a line does not end with CR LF" % name)
        text = raw[3:].decode("utf-8") if has_bom else raw.decode("utf-8")
        rows = list(csv.reader(io.StringIO(text, newline=""), delimiter=delimiter))
        columns = entries[0]["columns"]
        if rows[0] != ["Zaman"] + columns:
            problems.append("%s: header %r, logged %r" % (name, rows[0], ["Zaman"] + columns))
        if len(rows) - 1 != len(entries):
            problems.append("%s: %d rows, %d logged" % (name, len(rows) - 1, len(entries)))
        for number, (row, entry) in enumerate(zip(rows[1:], entries), start=1):
            where = "%s row %d" % (name, number)
            if entry["columns"] != columns:
                problems.append("%s: logged with other columns than the file's" % where)
            if row[0] != entry["time"] or not TIME.match(row[0]):
                problems.append("%s: time %r, logged %r" % (where, row[0], entry["time"]))
            if len(row) != len(columns) + 1:
                problems.append("%s: %d fields for %d columns" % (where, len(row), len(columns)))
                continue
            for cell, value, decimals, column in zip(row[1:], entry["values"], entry["decimals"], columns):
                values_seen += 1
                if value is None:
                    if cell != "":
                        problems.append("%s, %s: %r for an absent value" % (where, column, cell))
                    continue
                want = expected_text(value, decimals, fmt)
                back = float(cell.replace(",", ".")) if cell else None
                if cell != want or back != float(want.replace(",", ".")):
                    problems.append("%s, %s: %r, logged %r" % (where, column, cell, want))
            rows_seen += 1
    ours = {n for n in os.listdir(folder) if n.startswith("Kalorix-sensorler-") and n.endswith(".csv")}
    for extra in sorted(ours - set(files)):
        problems.append("%s: in the folder but no row was logged to it" % extra)
    return problems, len(files), rows_seen, values_seen


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("tr", "standard"):
        print(__doc__)
        return 2
    result = check(sys.argv[1], sys.argv[2], sys.argv[3])
    problems = result[0]
    if problems:
        for p in problems[:40]:
            print("sensor log: " + p)
        return 1
    print("sensor log ok: %s, %d file(s), %d row(s), %d value(s)" % (sys.argv[1], result[1], result[2], result[3]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
