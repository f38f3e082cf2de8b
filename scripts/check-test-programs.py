"""Fails when a program the tests start (tests/programs.txt) comes from a
Debian package that scripts/install-deps.sh neither lists nor pulls in.

A machine that already has everything passes any test, so a package missing
from the install lists shows only on a fresh one; this check makes it show
here.  It follows Depends and Pre-Depends only (not Recommends, which a user
may have turned off) and counts Essential and required packages as present.

Usage: check-test-programs.py [INSTALL_DEPS_SCRIPT]   (default: the project's)
"""

import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
PROGRAMS = os.path.join(ROOT, "tests", "programs.txt")


OFFERED_ONLY = re.compile(r"^(\S+)\s+\(where the release offers (\S+)\)$")


def listed_programs(path=PROGRAMS):
    """[(program, package or None)]: a program some releases lack comes
    with the package that brings it where the release offers it."""
    programs = []
    with open(path) as f:
        for line in (line.strip() for line in f):
            if line and not line.startswith("#"):
                match = OFFERED_ONLY.match(line)
                programs.append((match[1], match[2]) if match else (line, None))
    return programs


def offered(package):
    """Whether apt has a version of the package to install on this release."""
    out = subprocess.run(["apt-cache", "policy", package], capture_output=True, text=True).stdout
    return re.search(r"Candidate: (?!\(none\))", out) is not None


def installed_packages():
    """{name: (on every system, [dependency names], [provided names])} of every
    installed package; each dependency's alternatives all count."""
    out = subprocess.run(["dpkg-query", "-W", "-f",
                          "${Package}\t${db:Status-Abbrev}\t${Essential}\t${Priority}\t${Depends}, "
                          "${Pre-Depends}\t${Provides}\n"],
                         capture_output=True, text=True, check=True).stdout
    names = lambda field: [re.split(r"[\s:(]", n.strip())[0] for n in re.split(r"[,|]", field) if n.strip()]
    packages = {}
    for line in out.splitlines():
        name, status, essential, priority, depends, provides = line.split("\t")
        if status.startswith("ii"):
            # What every Debian system has, the barest (debootstrap's minbase) too.
            base = essential == "yes" or priority == "required"
            packages[name] = (base, names(depends), names(provides))
    return packages


def pulled_in(roots, packages):
    """The listed packages, those every system has, and all they depend on."""
    providers = {}
    for name, (_, _, provides) in packages.items():
        for virtual in provides:
            providers.setdefault(virtual, []).append(name)
    pending = list(roots) + [n for n, (base, _, _) in packages.items() if base]
    seen = set()
    while pending:
        name = pending.pop()
        if name in seen:
            continue
        seen.add(name)
        pending.extend(providers.get(name, []))
        if name in packages:
            pending.extend(packages[name][1])
    return seen


def candidates(path):
    """Names dpkg may know a file by: through its symlinks, and either side
    of the merged /usr (/bin/x or /usr/bin/x)."""
    names = []
    for p in (path, os.path.realpath(path)):
        names += [p, p[len("/usr"):] if p.startswith("/usr/") else "/usr" + p]
    return names


def owners(paths):
    """{path: [packages]} for the files dpkg knows, in one query."""
    out = subprocess.run(["dpkg-query", "-S"] + sorted(set(paths)), capture_output=True,
                         text=True).stdout
    found = {}
    for line in out.splitlines():
        packages, _, path = line.partition(": ")
        if not line.startswith("diversion by") and path:
            found[path] = [p.split(":")[0].strip() for p in packages.split(",")]
    return found


def shown(path):
    inside = os.path.commonpath([ROOT, os.path.abspath(path)]) == ROOT
    return os.path.relpath(path, ROOT) if inside else path


def problems(programs, install_script):
    roots = subprocess.run(["bash", install_script, "--list", "test"], capture_output=True,
                           text=True, check=True).stdout.split()
    reachable = pulled_in(roots, installed_packages())
    paths = {p: p if os.path.isabs(p) else shutil.which(p) for p in programs}
    known = owners(c for path in paths.values() if path and os.path.exists(path) for c in candidates(path))
    found = []
    for program, path in paths.items():
        if not path or not os.path.exists(path):
            found.append("%s: not installed; add the package that has it to %s"
                         % (program, shown(install_script)))
            continue
        from_packages = next((known[c] for c in candidates(path) if c in known), [])
        if not from_packages:
            found.append("%s: %s belongs to no Debian package" % (program, path))
        elif not reachable.intersection(from_packages):
            found.append("%s: comes from the package %s, which %s neither lists nor pulls in"
                         % (program, " or ".join(from_packages), shown(install_script)))
    return found


def main():
    install_script = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "scripts", "install-deps.sh")
    listed = listed_programs()
    programs = [p for p, package in listed if package is None or offered(package)]
    found = problems(programs, install_script)
    for line in found:
        print("check-test-programs: " + line, file=sys.stderr)
    if found:
        return 1
    print("check-test-programs: all %d programs the tests start come from the installed packages%s"
          % (len(programs), "" if len(programs) == len(listed) else
             " (%d this release does not have)" % (len(listed) - len(programs))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
