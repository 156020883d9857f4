# The closing line of scripts/test.sh, made by scripts/ctest-summary.py from ctest's JUnit file:
# skipped tests are never counted as passed, and each skip's reason is named.
# Usage: ctest_summary_test.py SCRIPTS_DIR
# SPDX-License-Identifier: MIT
import importlib.util
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
located = importlib.util.spec_from_file_location("ctest_summary", sys.argv[1] + "/ctest-summary.py")
summary = importlib.util.module_from_spec(located)
located.loader.exec_module(summary)


def case(name, status, inner=""):
    return f'<testcase name="{name}" status="{status}">{inner}</testcase>'


def skipped(message, output):
    return f'<skipped message="{message}"/><system-out>{output}</system-out>'


GTEST_SKIP = ("Note: Google Test filter = A.B\n[ RUN      ] A.B\n"
              "RobustnessTest.cpp:84: Skipped\nno corpus\n[  SKIPPED ] A.B (0 ms)\n")
# As ctest 3.25 writes them, for every kind of outcome.
CASES = [
    case("ok1", "run", "<system-out>ok</system-out>"),
    case("ok2", "run"),
    case("broken", "fail", '<failure message=""/>'),
    case("missing", "notrun", skipped("Unable to find executable", "Unable to find ...")),
    case("nofile", "notrun", skipped("Required Files Missing", "Unable to find required file")),
    case("g1", "notrun", skipped("SKIP_REGULAR_EXPRESSION_MATCHED", GTEST_SKIP)),
    case("g2", "notrun", skipped("SKIP_REGULAR_EXPRESSION_MATCHED", GTEST_SKIP)),
    case("g3", "notrun", skipped("SKIP_REGULAR_EXPRESSION_MATCHED",
                                 "x.cpp:1: Skipped\n[  SKIPPED ] C.D (0 ms)\n")),
    case("echo", "notrun", skipped("SKIP_REGULAR_EXPRESSION_MATCHED", "skipped: no python, or no x")),
    case("rc77", "notrun", skipped("SKIP_RETURN_CODE=77",
                                   "noise\ncompare.py: skipped, Python cannot import ezdxf\n")),
    case("rc77bare", "notrun", skipped("SKIP_RETURN_CODE=77", "first\nlast words\n")),
    case("off", "disabled", "<system-out>Disabled</system-out>"),
]

failures = []


def check(got, want):
    if got != want:
        failures.append(f"got  {got}\nwant {want}")


def junit(cases):
    return "<testsuite>" + "".join(cases) + "</testsuite>"


check(summary.summarize("dev", junit(CASES)),
      "dev 2 passed, 3 failed, 7 skipped (no corpus: 2; no reason given: 1; no python, or no x: 1; "
      "Python cannot import ezdxf: 1; last words: 1; disabled: 1)")
check(summary.summarize("asan", junit(CASES[:2] + CASES[5:7])),
      "asan 2 passed, 2 skipped (no corpus)")
check(summary.summarize("p", junit(CASES[:2])), "p 2 passed")
check(summary.summarize("p", junit([])), "p 0 passed")
long_reason = "x" * 100
check(summary.summarize("p", junit([case("l", "notrun", skipped(
    "SKIP_RETURN_CODE=77", long_reason))])), "p 0 passed, 1 skipped (" + "x" * 67 + "...)")

print("\n".join(failures) or "ctest-summary: all checks passed")
sys.exit(1 if failures else 0)
