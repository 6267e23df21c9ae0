#!/usr/bin/python3
"""Reads a JUnit XML file as CI servers do, with junitparser, and prints what
it found as JSON: each suite's counts as written and as recounted from its
test cases, its properties, and each test case with its results."""

import json
import sys

from junitparser import Error, Failure, JUnitXml, Skipped, TestSuite
from junitparser.junitparser import SystemErr

xml = JUnitXml.fromfile(sys.argv[1])
suites = [xml] if isinstance(xml, TestSuite) else list(xml)
out = {"totals": {"tests": xml.tests, "failures": xml.failures, "errors": xml.errors},
       "suites": []}
for suite in suites:
    written = {"tests": suite.tests, "failures": suite.failures, "errors": suite.errors,
               "skipped": suite.skipped, "time": suite.time}
    suite.update_statistics()
    out["suites"].append({
        "name": suite.name,
        "timestamp": suite.timestamp,
        "written": written,
        "recounted": {"tests": suite.tests, "failures": suite.failures, "errors": suite.errors,
                      "skipped": suite.skipped, "time": suite.time},
        "properties": {p.name: p.value for p in suite.properties()},
        "system_err": [e.text for e in suite.iterchildren(SystemErr)],
        "cases": [{
            "name": case.name,
            "classname": case.classname,
            "time": case.time,
            "results": [{"kind": "error" if isinstance(r, Error) else
                         "failure" if isinstance(r, Failure) else
                         "skipped" if isinstance(r, Skipped) else "other",
                         "type": r.type, "message": r.message, "text": r.text}
                        for r in case.result],
        } for case in suite],
    })
json.dump(out, sys.stdout, ensure_ascii=False)
