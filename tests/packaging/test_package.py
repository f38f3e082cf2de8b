#!/usr/bin/python3
"""The release files in dist/ as users get them: the Debian package (its
files, metadata, lintian, its dependencies resolved on an empty Debian 12,
and the program from it running on nothing but those dependencies) and the
Windows zip.  Nothing is installed on this machine.

Usage: test_package.py [DIST_FOLDER [WINDOWS_EXE]]
       (defaults: dist/ and build-win/tallowind.exe of this clone)
"""

import gzip
import hashlib
import os
import re
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from desktop import (LABEL_RECTS, Desktop, compare_shaped, describe_mismatches,  # noqa: E402
                     load_picture, run_test, wait_until)
from desktop import run as run_listed  # noqa: E402

APP_ID = "example.tallowind.Tallowind"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
EXPECTED_FILES = {
    "usr/bin/tallowind",
    "usr/share/applications/%s.desktop" % APP_ID,
    "usr/share/metainfo/%s.metainfo.xml" % APP_ID,
    "usr/share/icons/hicolor/scalable/apps/tallowind.svg",
    "usr/share/man/man1/tallowind.1.gz",
    "usr/share/doc/tallowind/copyright",
    "usr/share/doc/tallowind/changelog.gz",
} | {"usr/share/icons/hicolor/%dx%d/apps/tallowind.png" % (n, n) for n in ICON_SIZES}
ZIP_FILES = {"tallowind.exe", "README.txt", "LICENSE.txt"}


def run(argv, **kwargs):
    return run_listed(argv, capture_output=True, text=True, **kwargs)


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(Tallowind VERSION (\S+)", f.read()).group(1)


def check_files(checks, deb, tree):
    listing = run(["dpkg-deb", "-c", deb]).stdout.splitlines()
    paths = {line.split(None, 5)[5].split(" -> ")[0].lstrip("./").rstrip("/") for line in listing}
    paths.discard("")
    files = {p for p in paths if not os.path.isdir(os.path.join(tree, p))}
    checks.equal("the package holds exactly the expected files",
                 (sorted(files - EXPECTED_FILES), sorted(EXPECTED_FILES - files)), ([], []))
    folders = {p.rsplit("/", k)[0] for p in EXPECTED_FILES for k in range(1, p.count("/") + 1)}
    checks.equal("the package has no folders but those of its files", sorted(paths - files - folders), [])


def check_metadata(checks, version, tree):
    desktop = os.path.join(tree, "usr/share/applications/%s.desktop" % APP_ID)
    result = run(["desktop-file-validate", desktop])
    checks.check("desktop-file-validate passes", result.returncode == 0, result.stdout + result.stderr)
    metainfo = os.path.join(tree, "usr/share/metainfo/%s.metainfo.xml" % APP_ID)
    result = run(["appstreamcli", "validate", "--no-net", metainfo])
    checks.check("appstreamcli validate passes", result.returncode == 0, result.stdout + result.stderr)
    release = ElementTree.parse(metainfo).find("releases/release")
    checks.equal("the metainfo's release is the project version",
                 release.get("version") if release is not None else None, version)
    with gzip.open(os.path.join(tree, "usr/share/man/man1/tallowind.1.gz"), "rt") as man:
        header = man.readline()
    checks.check("the man page names the project version", '"Tallowind %s"' % version in header, header)


def check_lintian(checks, deb):
    result = run(["lintian", "--fail-on", "error", "--tag-display-limit", "0", deb])
    print("lintian:\n" + (result.stdout.strip() or "(nothing to say)"))
    errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
    checks.check("lintian reports no errors", result.returncode == 0 and not errors,
                 "\n".join(errors) or result.stderr)


def simulate_install(checks, deb, depends, scratch):
    """The packages apt would install on a Debian 12 that has none: the
    closure of the declared dependencies, from the archive."""
    empty = os.path.join(scratch, "status")
    open(empty, "w").close()
    result = run(["apt-get", "install", "--simulate", "-o", "Dir::State::status=" + empty,
                  "-o", "Dir::State::extended_states=" + os.path.join(scratch, "extended_states"),
                  "-o", "APT::Install-Recommends=false", os.path.abspath(deb)])
    installed = {m.group(1).split(":")[0]
                 for m in re.finditer(r"^Inst (\S+) \(", result.stdout, re.MULTILINE)}
    ok = checks.check("apt resolves the package on an empty system", result.returncode == 0
                      and "tallowind" in installed,
                      result.stderr.strip() or "(did `apt-get update` run?)")
    # With an empty status even the C library must come from the archive.
    wanted = {d.split("|")[0].split("(")[0].strip() for d in depends.split(",")}
    ok = checks.equal("every dependency is installed from the archive",
                      sorted(wanted - installed), []) and ok
    return installed if ok else None


def owners(paths):
    """{path: set of packages} as dpkg knows them; /usr/lib and /lib are the
    same folder on a merged-/usr system, though dpkg may list only one."""
    found = {}
    for path in paths:
        candidates = [path]
        if path.startswith("/usr/"):
            candidates.append(path[len("/usr"):])
        for candidate in candidates:
            out = run(["dpkg-query", "-S", candidate]).stdout
            for line in out.splitlines():
                if line.startswith("diversion by"):
                    continue
                packages, _, owned = line.rpartition(": ")
                if owned == candidate:
                    found[path] = {p.strip().split(":")[0] for p in packages.split(",")}
            if path in found:
                break
    return found


def mapped_files(pid):
    with open("/proc/%d/maps" % pid) as maps:
        paths = {line.split(None, 5)[5].strip() for line in maps if len(line.split(None, 5)) == 6}
    return {p for p in paths if p.startswith("/") and os.path.isfile(p)}


def is_font(path):
    return path.startswith("/usr/share/fonts/")


def check_runs(checks, tree, closure):
    program = os.path.join(tree, "usr/bin/tallowind")
    with Desktop(window_manager=False) as desktop:
        app = desktop.launch(program)
        window = app.main_window()
        if not checks.check("the packaged program maps its window", window, desktop.program_log()):
            return
        picture, wrong = load_picture(), []

        def shows_picture():
            wrong[:] = compare_shaped(app.shot(window), picture, desktop.backdrop,
                                      loose=list(LABEL_RECTS.values()))
            return not wrong
        wait_until(shows_picture, 5, 0.1)
        checks.check("the window shows the picture, cut to its outline", not wrong,
                     describe_mismatches(wrong))

        def font_mapped():
            files = mapped_files(app.pid)
            return files if any(map(is_font, files)) else None
        # The captions follow the first frame closely; wait for their font.
        used = wait_until(font_mapped, 5) or mapped_files(app.pid)
        app.stop()
    used = {p for p in used if not p.startswith(tree + "/")
            and (re.search(r"\.so(\.[0-9.]+)?$", p) or is_font(p))}
    checks.check("the program maps a platform plugin and a font",
                 any("/platforms/" in p for p in used) and any(map(is_font, used)), sorted(used))
    known = owners(sorted(used))
    foreign = {p: sorted(known.get(p, {"(no package)"})) for p in sorted(used)
               if not known.get(p, set()) & closure}
    checks.equal("every library and font it maps comes with its declared dependencies", foreign, {})


def check_zip(checks, zip_path, exe):
    with zipfile.ZipFile(zip_path) as archive:
        names = set(archive.namelist())
        checks.equal("the zip holds exactly its three files", sorted(names), sorted(ZIP_FILES))
        if not names >= ZIP_FILES:
            return
        with open(exe, "rb") as f:
            tested = f.read()
        checks.check("the zip's program is the one the Wine test ran",
                     archive.read("tallowind.exe") == tested,
                     "%s differs from %s" % (zip_path, exe))
        with open(os.path.join(ROOT, "LICENSE"), "rb") as f:
            licence = f.read()
        checks.equal("LICENSE.txt is the licence", archive.read("LICENSE.txt").replace(b"\r\n", b"\n"),
                     licence)


def check_sums(checks, dist):
    listed = {}
    if os.path.isfile(os.path.join(dist, "SHA256SUMS")):
        with open(os.path.join(dist, "SHA256SUMS")) as f:
            listed = dict(reversed(line.split(None, 1)) for line in f.read().splitlines())
    actual = {}
    for name in sorted(os.listdir(dist)):
        if name != "SHA256SUMS":
            with open(os.path.join(dist, name), "rb") as f:
                actual[name] = hashlib.sha256(f.read()).hexdigest()
    checks.equal("SHA256SUMS lists both files with their sums", listed, actual)


def body(checks):
    dist = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "dist"))
    exe = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build-win", "tallowind.exe")
    version = project_version()
    if not checks.check("there is a dist/ folder", os.path.isdir(dist),
                        "no %s: run scripts/package.sh first" % dist):
        return
    deb = os.path.join(dist, "tallowind_%s_amd64.deb" % version)
    zip_path = os.path.join(dist, "tallowind-%s-windows-x64.zip" % version)
    checks.equal("dist/ holds the package, the zip and SHA256SUMS, named after the version",
                 sorted(os.listdir(dist)), sorted(map(os.path.basename, (deb, zip_path, "SHA256SUMS"))))
    if not os.path.isfile(deb):
        return
    check_sums(checks, dist)
    control = run(["dpkg-deb", "-f", deb, "Version", "Depends"]).stdout
    print(control.strip())
    fields = dict(line.split(": ", 1) for line in control.splitlines() if ": " in line)
    checks.equal("the package's version is the project's", fields.get("Version"), version)
    depends = fields.get("Depends", "")
    with tempfile.TemporaryDirectory(prefix="tw-package-") as scratch:
        tree = os.path.join(scratch, "root")
        run_listed(["dpkg-deb", "-x", deb, tree], check=True)
        check_files(checks, deb, tree)
        check_metadata(checks, version, tree)
        check_lintian(checks, deb)
        closure = simulate_install(checks, deb, depends, scratch)
        if closure is not None:
            check_runs(checks, tree, closure)
    if os.path.isfile(zip_path):
        check_zip(checks, zip_path, exe)


if __name__ == "__main__":
    run_test(body)
