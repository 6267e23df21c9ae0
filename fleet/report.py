#!/usr/bin/env python3
"""The fleet report: one row per terminal from what cardreader-cli --json
printed there (HOST.jsonl), its exit status (HOST.status), what it said on
standard error (HOST.stderr), what the playbook had to say about it
(HOST.note) and the record it kept (the bundle, unpacked in HOST/),
gathered into one folder. A terminal with none of these was not reached.

    report.py FOLDER HOST...

Writes FOLDER/report.csv (mode 0600: it holds what the terminals read) and
prints the same rows as a table. Whatever is wrong with a terminal's files
is said in that terminal's note, and the other rows are written as usual."""

import csv
import hashlib
import json
import os
import re
import sys

FIELDS = ["host", "reached", "verdict", "expected_sha256", "library_sha256", "exit_status", "bundle"]
NUMBER = re.compile(r"-?[0-9]+(\.[0-9]+)?")
SHA256 = re.compile(r"([0-9a-f]{64})?")
# The worst first, as cardreader-cli ranks them: an answer that differs
# from the expected one, or that cannot be genuine, is worse than a call that
# honestly failed.
OUTCOMES = [("broke_contract", "contract"), ("differs", "differs"),
            ("implausible", "implausible"), ("failed", "failed")]


def count(row, name):
    value = row.get(name, 0)
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise ValueError('"%s" is not a number' % name)
    return value


def outcome(row):
    """The worst outcome of one operation's summary row's calls: contract,
    differs, implausible, failed or ok."""
    counts = [(count(row, name), shown) for name, shown in OUTCOMES]
    return next((shown for number, shown in counts if number > 0), "ok")


def texts(summary, name):
    value = summary.get(name, [])
    if not isinstance(value, list) or not all(isinstance(text, str) for text in value):
        raise ValueError('"%s" is not a list of texts' % name)
    return value


def sha256_in(record, name):
    value = record.get(name, "")
    if not isinstance(value, str) or not SHA256.fullmatch(value):
        raise ValueError('"%s" is not a SHA-256' % name)
    return value


def summarised(summary, operations, functions, findings):
    """The report's fields from a summary (the verdict, the expected
    answers' and the library's SHA-256), its operations put in operations
    and the run's own findings in findings; functions holds the functions
    each operation called, from the calls' lines. ValueError says what in
    it is not as cardreader-cli writes."""
    if not isinstance(summary, dict):
        raise ValueError("a summary that is not an object")
    library = summary.get("library", {})
    if not isinstance(library, dict):
        raise ValueError('"library" is not an object')
    fields = {"library_sha256": sha256_in(library, "sha256"),
              "expected_sha256": sha256_in(summary, "expected_answers_sha256"),
              "verdict": summary.get("verdict", "")}
    if not isinstance(fields["verdict"], str):
        raise ValueError('"verdict" is not a text')
    rows = summary.get("operations", [])
    if not isinstance(rows, list) or not all(isinstance(row, dict) for row in rows):
        raise ValueError('"operations" is not a list of objects')
    # Answers with nothing to be compared with match nothing: "ok" there
    # would read as checked.
    uncompared = set(texts(summary, "not_compared"))
    # A breach of the run's own (output at load, a signal from outside any
    # call, the library file changed) is in no operation's row.
    own = ["contract: " + text for text in texts(summary, "findings")]
    found = {}
    for row in rows:
        name = row.get("operation")
        if not isinstance(name, str) or not name.isprintable() or name in FIELDS + ["note", ""]:
            raise ValueError('an operation row without a usable "operation"')
        found[name] = outcome(row)
        if found[name] == "ok" and functions.get(name) and functions[name] <= uncompared:
            found[name] = "not compared"
    operations.update(found)
    findings.extend(own)
    return fields


def manifest_names(text):
    """The names and SHA-256s of a SHA256SUMS, as sha256sum writes it; a
    name that would reach outside the folder is not one cardreader-cli
    writes."""
    for line in text.splitlines():
        escaped = line.startswith("\\")
        match = re.fullmatch(r"([0-9a-f]{64})  (.+)", line[1:] if escaped else line)
        if not match:
            raise ValueError("a line that is not a SHA-256 and a name")
        name = match.group(2)
        if escaped:
            name = re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), name)
        if "/" in name or name in (".", ".."):
            raise ValueError("a name outside the folder")
        yield match.group(1), name


def bundle(folder, host):
    """Whether the terminal's record, unpacked in HOST/, holds every file
    its manifest names as it was made: "verified", what differs, or empty
    when none was gathered."""
    kept = os.path.join(folder, host)
    if os.path.islink(kept) or not os.path.isdir(kept):
        return ""
    try:
        with open(os.path.join(kept, "SHA256SUMS"), "rb") as file:
            listed = list(manifest_names(file.read().decode("utf-8", errors="surrogateescape")))
    except FileNotFoundError:
        return "no SHA256SUMS"
    except (OSError, ValueError) as error:
        return "SHA256SUMS: " + (error.strerror if isinstance(error, OSError) else str(error))
    wrong = []
    for sha256, name in listed:
        path = os.path.join(kept, name)
        try:
            if os.path.islink(path) or not os.path.isfile(path):
                raise FileNotFoundError
            digest = hashlib.sha256()
            with open(path, "rb") as file:
                for piece in iter(lambda: file.read(1 << 20), b""):
                    digest.update(piece)
            if digest.hexdigest() != sha256:
                wrong.append(name)
        except OSError:
            wrong.append(name + " missing")
    if not listed:
        return "SHA256SUMS names no file"
    if wrong:
        more = " (and %d more)" % (len(wrong) - 1) if len(wrong) > 1 else ""
        return "does not verify: " + wrong[0] + more
    return "verified"


def read(folder, host, kind, problems):
    """The text of HOST.KIND, or None when there is none or it cannot be read."""
    name = host + "." + kind
    try:
        with open(os.path.join(folder, name), "rb") as file:
            return file.read().decode("utf-8", errors="surrogateescape")
    except FileNotFoundError:
        return None
    except OSError as error:
        problems.append("%s: %s" % (name, error.strerror))
        return None


def terminal(folder, host):
    """The report's fields for one terminal, and its operations in order."""
    problems = []
    status = read(folder, host, "status", problems)
    lines = read(folder, host, "jsonl", problems)
    note = read(folder, host, "note", problems)
    said = read(folder, host, "stderr", problems)
    if status is None and lines is None and note is None and said is None and not problems:
        return {"host": host, "reached": "unreachable"}, {}
    fields = {"host": host, "reached": "yes", "library_sha256": "", "bundle": bundle(folder, host)}
    if note is not None:
        problems.append(note.strip())
    if status is not None:
        if re.fullmatch(r"-?[0-9]+", status.strip()):
            fields["exit_status"] = status.strip()
        else:
            problems.append(host + ".status: not an exit status")
    operations, functions, findings = {}, {}, []
    summaries = 0
    for number, line in enumerate((lines or "").splitlines(), 1):
        where = "%s.jsonl line %d: " % (host, number)
        try:
            line.encode("utf-8")
            record = json.loads(line) if line.strip() else {}
            if not isinstance(record, dict):
                raise ValueError("not an object")
            # The library's identity from one place, the summary that closes
            # every run: the watching process writes it, from the file it
            # opened before any of the library's code ran.
            if "summary" in record:
                summaries += 1
                fields.update(summarised(record["summary"], operations, functions, findings))
            elif isinstance(record.get("operation"), str) and isinstance(record.get("function"), str):
                functions.setdefault(record["operation"], set()).add(record["function"])
        except UnicodeEncodeError:
            problems.append(where + "not UTF-8")
        except RecursionError:
            problems.append(where + "nested too deep")
        except ValueError as error:
            problems.append(where + str(error).split(":")[0])
    if lines is None and status is not None:
        problems.append("no " + host + ".jsonl")
    if lines is not None and status is None and note is None:
        problems.append("no " + host + ".status")
    if lines is not None and not summaries:
        # Its own last word is on standard error: a usage error, say.
        reason = next((line.strip() for line in (said or "").splitlines() if line.strip()), "")
        problems.append(host + ".jsonl: no summary, the run did not end" + (": " + reason if reason else ""))
    problems += findings
    if problems:
        # One file can be wrong on every line: the first says what, and how
        # many more there are.
        more = " (and %d more)" % (len(problems) - 1) if len(problems) > 1 else ""
        fields["note"] = problems[0] + more
    return fields, operations


def cell(value):
    """A CSV cell a spreadsheet shows as it is: one that would begin a
    formula is prefixed with a quote (OWASP's advice on CSV injection). A
    plain number such as an exit status of -1 stays a number: there is no
    formula in it."""
    if value[:1] in ("=", "+", "-", "@", "\t", "\r") and not NUMBER.fullmatch(value):
        return "'" + value
    return value


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

    header = FIELDS + columns + ["note"]
    path = os.path.join(folder, "report.csv")
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with open(descriptor, "w", newline="", encoding="utf-8", errors="surrogateescape") as out:
        writer = csv.writer(out)
        for row in [dict(zip(header, header))] + rows:
            writer.writerow([cell(row.get(name, "")) for name in header])

    # The table shows the first 12 hex digits of each SHA-256: enough to tell
    # libraries and sets of expected answers apart; and of the verdict, its
    # word (PASSED on the simulated reader, FAILED, ...). The CSV holds them
    # whole. What a file said is shown with its control characters escaped,
    # so that it cannot drive the terminal the table is printed on.
    shown = [dict(row, library_sha256=row.get("library_sha256", "")[:12],
                  expected_sha256=row.get("expected_sha256", "")[:12],
                  verdict=row.get("verdict", "").split(":")[0]) for row in rows]
    for row in shown:
        for name in ("note", "verdict", "bundle"):
            row[name] = row.get(name, "").encode("unicode_escape", "surrogateescape").decode("ascii")
    widths = {name: max([len(name)] + [len(row.get(name, "")) for row in shown]) for name in header}
    for row in [dict(zip(header, header))] + shown:
        print("  ".join(row.get(name, "").ljust(widths[name]) for name in header).rstrip())


if __name__ == "__main__":
    main()
