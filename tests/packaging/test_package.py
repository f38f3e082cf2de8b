"""The release files in dist/ as users get them: the Debian package (its
files, metadata, lintian; installed on an empty Debian 12 and 13, its
dependencies resolved from the archive, and the program from it running on
them alone) and the Windows zip.  Nothing is installed on this machine: the
empty systems are debootstrap's, kept in build/package-roots/ (needs root).

Usage: test_package.py [DIST_FOLDER [WINDOWS_EXE]]
       (defaults: dist/ and build-win/tallowind.exe of this clone)
"""

import gzip
import hashlib
import os
import re
import shutil
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from desktop import (LABEL_RECTS, App, Desktop, compare_shaped, describe_mismatches,  # noqa: E402
                     load_picture, run_test, spawn, wait_until)
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
# The most each release file may weigh, in bytes: the program carries its
# artwork drawn for each display scale, so a drawing added counts here.
SIZE_BUDGETS = {"the Debian package": 400 * 1000, "the Windows program": 1000 * 1000}


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


# Debian releases, oldest first. A package made on one installs on it and
# on every later one, whose libraries provide the older names too
# (libqt6core6t64 provides libqt6core6), but not on an earlier one.
RELEASES = (("12", "bookworm"), ("13", "trixie"))
MIRROR = os.environ.get("TW_DEBIAN_MIRROR", "http://deb.debian.org/debian")
ROOTS = os.path.join(ROOT, "build", "package-roots")


def host_release():
    with open("/etc/debian_version") as f:
        return f.read().split(".")[0]


class EmptyRoot:
    """A bare Debian of one release (debootstrap's minbase), kept in
    build/package-roots/ between runs with nothing of ours left in it."""

    def __init__(self, codename):
        self.codename = codename
        self.path = os.path.join(ROOTS, codename)

    def make(self):
        """Why it could not be made, or None."""
        if os.path.exists(os.path.join(self.path, "etc", "debian_version")):
            return None
        made = run(["debootstrap", "--variant=minbase", self.codename, self.path, MIRROR])
        if made.returncode == 0:
            return None
        shutil.rmtree(self.path, ignore_errors=True)
        return (made.stdout + made.stderr)[-2000:]

    def argv(self, command, display=None):
        """The command run inside, in mounts of its own; with a display, the
        X server's socket is there too."""
        binds = "mount --bind /tmp/.X11-unix \"$0/tmp/.X11-unix\"; " if display else ""
        # unshare cannot make the mounts private itself where "/" is no mount
        # point (the test command run in a chroot, as bare-debian.sh does);
        # there they are private already, elsewhere the script makes them so.
        script = ('mount --make-rprivate / 2>/dev/null; '
                  'mount -t proc proc "$0/proc"; mount --rbind /dev "$0/dev"; mount --rbind /sys "$0/sys"; '
                  'mkdir -p "$0/tmp/.X11-unix"; ' + binds +
                  'exec chroot "$0" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root '
                  'DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 ' + ("DISPLAY=%s " % display if display else "") +
                  '"$@"')
        return ["unshare", "-m", "--propagation", "unchanged", "sh", "-c", script, self.path] + command

    def run(self, command):
        return run(self.argv(command))

    def install(self, deb):
        shutil.copyfile("/etc/resolv.conf", os.path.join(self.path, "etc", "resolv.conf"))
        shutil.copyfile(deb, os.path.join(self.path, "root", os.path.basename(deb)))
        self.run(["apt-get", "update", "-qq"])
        return self.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends",
                         "/root/" + os.path.basename(deb)])

    def remove(self, package):
        self.run(["apt-get", "purge", "-y", "-qq", package])
        self.run(["apt-get", "autoremove", "--purge", "-y", "-qq"])


def mapped_files(pid, root):
    """The files a process in the root maps, as the root names them. The
    kernel names them from the reader's root, or from the machine's where
    the reader is in a chroot of its own (the test command run by
    bare-debian.sh): the root's path ends the part to cut."""
    with open("/proc/%d/maps" % pid) as maps:
        paths = {line.split(None, 5)[5].strip() for line in maps if len(line.split(None, 5)) == 6}
    return {p[p.index(root + "/") + len(root):] for p in paths if root + "/" in p}


def is_font(path):
    return path.startswith("/usr/share/fonts/")


def check_runs(checks, root):
    """The packaged program, in a root that holds nothing but the package
    and what it depends on, on an X server of ours."""
    with Desktop(window_manager=False) as desktop:
        app = App(desktop, spawn(root.argv(["/usr/bin/tallowind"], desktop.display_name), env=desktop.env()))
        window = app.main_window(30)
        if not checks.check("the packaged program maps its window", window):
            return
        picture, wrong = load_picture(), []

        def shows_picture():
            wrong[:] = compare_shaped(app.shot(window), picture, desktop.backdrop,
                                      loose=list(LABEL_RECTS.values()))
            return not wrong
        wait_until(shows_picture, 10, 0.1)
        checks.check("the window shows the picture, cut to its outline", not wrong,
                     describe_mismatches(wrong))
        # The captions follow the first frame closely; wait for their font.
        mapped = lambda: mapped_files(app.pid, root.path)  # noqa: E731
        used = wait_until(lambda: any(map(is_font, mapped())) and mapped(), 5)
        app.stop()
    checks.check("the program maps a platform plugin and a font",
                 used and any("/platforms/" in p for p in used) and any(map(is_font, used)), sorted(used or []))


def check_releases(checks, deb):
    """The package on an empty Debian of the release it was made on and of
    each later one: its dependencies resolved from the archive, and the
    program running on them alone."""
    host = host_release()
    if os.geteuid() != 0:
        checks.skip("the package on empty Debian systems", "making and entering them needs root")
        return
    for number, codename in RELEASES:
        checks.prefix = "Debian %s: " % number
        if int(number) < int(host):
            checks.skip("the package installs", "a package made on Debian %s names the libraries as Debian %s "
                        "does (libqt6core6t64), which Debian %s lacks: release packages are made on Debian %s"
                        % (host, host, number, RELEASES[0][0]))
            continue
        root = EmptyRoot(codename)
        failure = root.make()
        if not checks.check("an empty system is made", failure is None, failure):
            continue
        installed = root.install(deb)
        if checks.check("the package installs, its dependencies resolved from the archive",
                        installed.returncode == 0, (installed.stdout + installed.stderr)[-2000:]):
            check_runs(checks, root)
        root.remove("tallowind")
    checks.prefix = ""


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


def check_sizes(checks, files):
    """files: what SIZE_BUDGETS names, with its path."""
    for what, path in files.items():
        size = os.path.getsize(path) if os.path.isfile(path) else None
        checks.check("%s is at most %d bytes" % (what, SIZE_BUDGETS[what]),
                     size is not None and size <= SIZE_BUDGETS[what], "%s: %s bytes" % (path, size))


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
    check_sizes(checks, {"the Debian package": deb, "the Windows program": exe})
    control = run(["dpkg-deb", "-f", deb, "Version", "Depends"]).stdout
    print(control.strip())
    fields = dict(line.split(": ", 1) for line in control.splitlines() if ": " in line)
    checks.equal("the package's version is the project's", fields.get("Version"), version)
    with tempfile.TemporaryDirectory(prefix="tw-package-") as scratch:
        tree = os.path.join(scratch, "root")
        run_listed(["dpkg-deb", "-x", deb, tree], check=True)
        check_files(checks, deb, tree)
        check_metadata(checks, version, tree)
        check_lintian(checks, deb)
    check_releases(checks, deb)
    if os.path.isfile(zip_path):
        check_zip(checks, zip_path, exe)


if __name__ == "__main__":
    run_test(body)
