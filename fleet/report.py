#!/usr/bin/env python3
"""The fleet report: one row per terminal from what cardreader-cli --json
printed there (HOST.jsonl) and its exit status (HOST.status), gathered into
one folder. A terminal with no files was not reached.

    report.py FOLDER HOST...

Writes FOLDER/report.csv and prints the same rows as a table."""

import csv
import json
import os
import sys


def outcome(row):
    """ok, failed or contract for one operation's summary row."""
    if row.get("broke_contract", 0) > 0:
        return "contract"
    if row.get("failed", 0) > 0:
        return "failed"
    return "ok"


def terminal(folder, host):
    """The report's fields for one terminal, and its operations in order."""
    lines_path = os.path.join(folder, host + ".jsonl")
    status_path = os.path.join(folder, host + ".status")
    if not os.path.exists(status_path):
        return {"host": host, "reached": "unreachable"}, {}
    with open(status_path, encoding="utf-8") as status:
        fields = {"host": host, "reached": "yes", "exit_status": status.read().strip()}
    operations = {}
    library = {}
    with open(lines_path, encoding="utf-8") as lines:
        for line in lines:
            try:
                record = json.loads(line)
            except ValueError:
                continue
            # The library's identity from one place, the summary that closes
            # every run: the watching process writes it, from the file it
            # opened before any of the library's code ran.
            summary = record.get("summary")
            if summary:
                library = summary.get("library", library)
                for row in summary.get("operations", []):
                    operations[row["operation"]] = outcome(row)
    fields["library_sha256"] = library.get("sha256", "")
    return fields, operations


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder, hosts = sys.argv[1], sys.argv[2:]
    rows, columns = [], []
    for host in hosts:
        fields, operations = terminal(folder, host)
        for name in operations:
            if name not in columns:
                columns.append(name)
        fields.update(operations)
        rows.append(fields)

    header = ["host", "reached", "library_sha256", "exit_status"] + columns
    with open(os.path.join(folder, "report.csv"), "w", newline="", encoding="utf-8") as out:
        writer = csv.DictWriter(out, fieldnames=header, restval="")
        writer.writeheader()
        writer.writerows(rows)

    # The table shows the first 12 hex digits of each SHA-256: enough to tell
    # libraries apart; the CSV holds them whole.
    shown = [dict(row, library_sha256=row.get("library_sha256", "")[:12]) for row in rows]
    widths = {name: max([len(name)] + [len(row.get(name, "")) for row in shown]) for name in header}
    for row in [dict(zip(header, header))] + shown:
        print("  ".join(row.get(name, "").ljust(widths[name]) for name in header).rstrip())


if __name__ == "__main__":
    main()
