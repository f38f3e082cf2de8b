"""The test command's check that every program the tests start is installed
by scripts/install-deps.sh: it passes on the real lists, and names program
and package when a package is dropped from them.  The end-to-end harness
refuses to start a program that is not listed.

Usage: check_programs_test.py
"""

import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from desktop import run, run_test  # noqa: E402

CHECK = os.path.join(ROOT, "scripts", "check-test-programs.py")
INSTALL = os.path.join(ROOT, "scripts", "install-deps.sh")
# A package dropped from the install lists, and the program whose line must name it.
DROPPED = (("twm", "twm: comes from the package twm"),
           ("xdotool", "xdotool: comes from the package xdotool"),
           ("lintian", "lintian: comes from the package lintian"))


def check_with(install_script):
    return subprocess.run([sys.executable, CHECK, install_script], capture_output=True, text=True)


def main(checks):
    result = check_with(INSTALL)
    checks.equal("the real install lists pass", (result.returncode, result.stderr), (0, ""))
    with open(INSTALL) as f:
        script = f.read()
    for package, named in DROPPED:
        with tempfile.NamedTemporaryFile("w", suffix=".sh") as copy:
            copy.write(re.sub(r"(?<=[\s(])%s(?=[\s)])" % re.escape(package), "", script))
            copy.flush()
            result = check_with(copy.name)
        checks.check("without %s the check fails and names it" % package,
                     result.returncode == 1 and named in result.stderr, result.stderr)
    try:
        run(["mutter-not-listed", "--version"])
        checks.check("the harness refuses a program that is not listed", False)
    except RuntimeError as error:
        checks.check("the harness refuses a program that is not listed", "tests/programs.txt" in str(error))


if __name__ == "__main__":
    run_test(main)
