#!/usr/bin/env python3
# Reads the JUnit file of one ctest run (ctest --output-junit FILE) and prints one line for the
# closing summary of scripts/test.sh, for example
#   dev 230 passed, 6 skipped (VEXLOR_DXF_CORPUS_DIR names no folder: 4; not on this system: 2)
# Counted as ctest counts: a test that ran and passed passed; a failure, or a test that could not
# be started (its program or a required file missing), failed; a test that asked to be skipped
# (SKIP_RETURN_CODE, SKIP_REGULAR_EXPRESSION, which GoogleTest's skips match) or is disabled is
# skipped, with the reason it printed. A skipped test never counts as passed.
# Usage: ctest-summary.py NAME JUNIT.xml
# SPDX-License-Identifier: MIT
import re
import sys
import xml.etree.ElementTree as ElementTree
from collections import Counter

# ctest's messages of a test that asked to be skipped; its other "notrun" tests could not start.
SKIP_MESSAGES = re.compile(r"SKIP_RETURN_CODE=|SKIP_REGULAR_EXPRESSION_MATCHED")
LONGEST_REASON = 70


def skip_reason(output):
    """The reason a skipped test printed: GoogleTest's message under "file:line: Skipped", the
    text after "skipped:" or "skipped," (our scripts' form), or else its last line."""
    lines = [line.strip() for line in (output or "").splitlines() if line.strip()]
    for number, line in enumerate(lines):
        if line.endswith(": Skipped"):
            following = lines[number + 1] if number + 1 < len(lines) else ""
            return following if following and not following.startswith("[") else "no reason given"
    for line in lines:
        found = re.search(r"\bskipped[:,]\s*(\S.*)", line, re.IGNORECASE)
        if found:
            return found.group(1)
    return lines[-1] if lines else "no reason given"


def shorten(reason):
    return reason if len(reason) <= LONGEST_REASON else reason[: LONGEST_REASON - 3] + "..."


def summarize(name, junit_text):
    passed = failed = 0
    reasons = Counter()
    for case in ElementTree.fromstring(junit_text).iter("testcase"):
        status = case.get("status")
        skipped = case.find("skipped")
        if status == "run":
            passed += 1
        elif status == "disabled":
            reasons["disabled"] += 1
        elif status == "notrun" and skipped is not None and SKIP_MESSAGES.match(
                skipped.get("message", "")):
            reasons[shorten(skip_reason(case.findtext("system-out")))] += 1
        else:
            failed += 1
    parts = [f"{name} {passed} passed"]
    if failed:
        parts.append(f"{failed} failed")
    if reasons:
        count = sum(reasons.values())
        if len(reasons) == 1:
            why = next(iter(reasons))
        else:
            why = "; ".join(f"{reason}: {n}" for reason, n in reasons.most_common())
        parts.append(f"{count} skipped ({why})")
    return ", ".join(parts)


def main(argv):
    if len(argv) != 3:
        print("usage: ctest-summary.py NAME JUNIT.xml", file=sys.stderr)
        return 64
    try:
        with open(argv[2], encoding="utf-8", errors="replace") as junit:
            print(summarize(argv[1], junit.read()))
    except (OSError, ElementTree.ParseError) as error:
        print(f"{argv[1]} gave no results ({error})")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
