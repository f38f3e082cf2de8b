#!/usr/bin/env bash
# A mutation pass over the product's guards, to run before a release (not in
# CI). Each mutation below changes one line of a scratch copy of the tree; the
# scratch build is rebuilt incrementally and the fast tests run: the unit and
# Qt tests for the shared code and the Qt adapter, the Windows tests under
# Wine (on a private Xvfb) for the Win32 adapter. Every mutation must be
# killed, that is, make some test fail. Prints a table of each mutation and
# the test that killed it; exits non-zero if one survived.
# Usage: scripts/mutants.sh [text]     (only mutations whose name holds text)
# TW_MUTANTS_DIR chooses the scratch folder (kept between runs, so a second
# run rebuilds little).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work=${TW_MUTANTS_DIR:-${TMPDIR:-/tmp}/tallowind-mutants}
"$root/scripts/install-deps.sh" test

exec /usr/bin/python3 - "$root" "$work" "${1:-}" <<'PYTHON'
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

root, work, only = sys.argv[1], sys.argv[2], sys.argv[3]
SRC = os.path.join(work, "src")

# (name, where it is tested, file, line as it is, line as the mutant has it)
MUTANTS = [
    # The countdown tick: each step resume-next.
    ("tick: reading the clock is resume-next", "linux", "app/countdown.cpp",
     "ResumeNext([&] { now = clock_(); });", "now = clock_();"),
    ("tick: making the target text is resume-next", "linux", "app/countdown.cpp",
     'ResumeNext([&] { target = "12/25/" + FormatYYYY(now.value()); });',
     'target = "12/25/" + FormatYYYY(now.value());'),
    ("tick: the date difference is resume-next", "linux", "app/countdown.cpp",
     "ResumeNext([&] { remaining = static_cast<std::int32_t>(DateDiffSeconds(now.value(), target)); });",
     "remaining = static_cast<std::int32_t>(DateDiffSeconds(now.value(), target));"),
    ("tick: writing Label1 is resume-next", "linux", "app/countdown.cpp",
     'ResumeNext([&] { Label1.SetCaption(std::to_string(days) + " days,"); });',
     'Label1.SetCaption(std::to_string(days) + " days,");'),
    ("tick: writing Label2 is resume-next", "linux", "app/countdown.cpp",
     "    ResumeNext([&] {\n        Label2.SetCaption(", "    std::invoke([&] {\n        Label2.SetCaption("),
    # Load, mouse and menu.
    ("load: shaping is resume-next", "linux", "app/frmMain.cpp",
     "    ResumeNext([&] {\n        clsTransForm shaper", "    std::invoke([&] {\n        clsTransForm shaper"),
    ("mouse: only the right button opens the menu", "linux", "app/frmMain.cpp",
     'if (Button == vbRightButton) form_.PopupMenu("menu");', 'if (Button != 0) form_.PopupMenu("menu");'),
    ("menu: Exit ends the program", "linux", "app/frmMain.cpp",
     'else if (itemName == "menuExit") menuExit_Click();', 'else if (itemName == "menuExit") {}'),
    # The shaper and its region data file.
    ("shaper: the drag is for the left button only", "linux", "shaping/clsTransForm.cpp",
     "if (intButton != vbLeftButton) return;", "if (intButton == 0) return;"),
    ("shaper: no file name, no file written", "linux", "shaping/clsTransForm.cpp",
     "if (!FileName.empty()) SaveRegionDataToFile(FileName);", "SaveRegionDataToFile(FileName);"),
    ("region file: a region of no size is refused", "linux", "shaping/region_file.cpp",
     "if (size < 1) {", "if (size > 0xFFFFFFF0u) {"),
    ("region file: an empty file is error 9", "linux", "shaping/region_file.cpp",
     "if (bytes->empty()) throw ClassicError(err::kSubscriptOutOfRange);", "if (bytes->empty()) return nullptr;"),
    ("save: a failed save removes its temporary file", "linux", "platform/posix/files_posix.cpp",
     "if (!committed_) ::unlink(path_.c_str());", "(void)committed_;"),
    # The region engine and its decoder.
    ("decoder: the size limit", "linux", "platform/portable/region.cpp",
     "bytes.size() > kMaxRgnDataBytes) return nullptr;", "bytes.size() > (kMaxRgnDataBytes << 4)) return nullptr;"),
    ("decoder: the sweep limit", "linux", "platform/portable/region.cpp",
     "Region::FromNonEmptyRects(std::move(rects), kMaxDecodeSweepWork);",
     "Region::FromNonEmptyRects(std::move(rects), std::nullopt);"),
    ("decoder: the header size", "linux", "platform/portable/region.cpp",
     "if (ReadU32Le(p) != kRgnDataHeaderSize) return nullptr;", "if (ReadU32Le(p) == 0) return nullptr;"),
    ("decoder: nCount rectangles must be there", "linux", "platform/portable/region.cpp",
     "if (bytes.size() < kRgnDataHeaderSize + count * kRgnDataRectSize) return nullptr;",
     "if (bytes.size() < kRgnDataHeaderSize + (count / 2) * kRgnDataRectSize) return nullptr;"),
    ("encoder: a buffer too small gets nothing", "linux", "platform/portable/region.cpp",
     "if (size < needed) return 0;", "if (size < kRgnDataHeaderSize) return 0;"),
    ("region: touching bands with the same spans merge", "linux", "platform/portable/region.cpp",
     "if (First(b - 1).bottom != First(b).top || !SameSpans(b - 1, b)) {",
     "if (First(b - 1).bottom != First(b).top) {"),
    ("picture: only 24-bit pictures", "linux", "platform/portable/picture.cpp",
     "if (planes != 1 || bitCount != 24 || compression != 0) ThrowInvalidPicture();",
     "if (planes != 1 || bitCount == 0 || compression != 0) ThrowInvalidPicture();"),
    # The display scale.
    ("scale: an unusable factor is one to one", "linux", "platform/portable/pixel_scale.cpp",
     "if (std::isfinite(factor) && factor > 0.0) factor_ = factor;", "factor_ = factor;"),
    ("scale: a picture no window could show is refused", "linux", "platform/portable/pixel_scale.cpp",
     "if (w * h > kMaxDevicePixels) throw", "if (w * h > kMaxDevicePixels * 0 + ~0ull) throw"),
    # The Qt adapter.
    ("qt: the move starts only with the left button down", "linux", "platform/qt/qt_window_system.cpp",
     "if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) return 0;",
     "if (QGuiApplication::mouseButtons() == Qt::NoButton) return 0;"),
    ("qt: a label swallows the presses on it", "linux", "platform/qt/qt_form.cpp",
     "void QtLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }",
     "void QtLabel::mousePressEvent(QMouseEvent* event) { event->ignore(); }"),
    ("qt: an empty outline takes no clicks", "linux", "platform/qt/qt_form.cpp",
     "if (outline_->IsEmpty()) return QRegion(-1, -1, 1, 1);", "if (outline_->IsEmpty()) return QRegion();"),
    ("qt: a chosen item is handled before the menu call returns", "linux", "platform/qt/qt_form.cpp",
     "if (chosen != nullptr && handlers_ != nullptr) handlers_->Menu_Click(chosen->objectName().toStdString());",
     "if (chosen != nullptr && handlers_ != nullptr) QTimer::singleShot(0, this, [this, item = "
     "chosen->objectName().toStdString()] { handlers_->Menu_Click(item); });"),
    ("qt: Exit ends at once", "linux", "platform/qt/qt_runtime.cpp",
     "std::_Exit(exitStatus);", "std::exit(exitStatus);"),
    ("qt: a timer of interval 0 never ticks", "linux", "platform/ports/desktop_rules.h",
     "return {timer.enabled && timer.intervalMs > 0,", "return {timer.enabled,"),
    ("qt: the window is centred when laid out so", "linux", "platform/qt/qt_form.cpp",
     "if (!centreOnScreen_) {", "if (true) {"),
    ("qt: a dialog stays on its screen", "linux", "platform/qt/qt_form.cpp",
     "std::clamp(centred.y(), screen.top(), bottom)", "std::clamp(centred.y(), screen.top(), bottom + 1000)"),
    ("x11: the manager's move only from a running manager", "linux", "platform/qt/x11/moves.cpp",
     "return rootCheck != XCB_NONE && checkOfCheckWindow == rootCheck;",
     "return rootCheck != XCB_NONE && (checkOfCheckWindow == rootCheck || true);"),
    # The Win32 adapter.
    ("win32: the caption drag only with the left button down", "win32", "platform/win32/win32_window_system.cpp",
     "::GetKeyState(VK_LBUTTON) >= 0) {", "false) {"),
    ("win32: a label repaints only when its text changes", "win32", "platform/win32/win32_form.cpp",
     "if (caption == shown_) return;", "if (caption.empty()) return;"),
    ("win32: a label swallows the presses on it", "win32", "platform/win32/win32_form.cpp",
     "WS_CHILD | WS_VISIBLE | SS_NOTIFY | AlignmentStyle", "WS_CHILD | WS_VISIBLE | AlignmentStyle"),
    ("win32: labels and fonts follow the display scale", "win32", "platform/win32/win32_form.cpp",
     "for (auto& label : labels_) label->Rescale(scale_);", "(void)labels_;"),
]

FAILED = re.compile(r"^\[  FAILED  \] (\S+)", re.M)


def sync_tree():
    """The scratch copy follows the tree; unchanged files keep their times,
    so the scratch builds stay incremental."""
    skip = {".git", "dist"}
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        dirnames[:] = [d for d in dirnames if d not in skip and not d.startswith("build")]
        os.makedirs(os.path.join(SRC, rel), exist_ok=True)
        for name in filenames:
            source, target = os.path.join(dirpath, name), os.path.join(SRC, rel, name)
            if not os.path.exists(target) or not filecmp.cmp(source, target, shallow=False):
                shutil.copy2(source, target)


def run(argv, env=None, timeout=900):
    result = subprocess.run(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", timeout=timeout)
    return result.returncode, result.stdout


class Linux:
    build = os.path.join(work, "linux")
    targets = ["tallowind_unit_tests", "tallowind_qt_tests"]

    def start(self):
        code, out = run(["cmake", "-S", SRC, "-B", self.build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug"])
        if code:
            sys.exit("configuring the scratch build failed:\n" + out)

    def compile(self):
        return run(["cmake", "--build", self.build, "-j2", "--target"] + self.targets)

    def test(self):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        return [run([os.path.join(self.build, "tests", "tallowind_unit_tests")], env, 600),
                run([os.path.join(self.build, "tests", "qt", "tallowind_qt_tests")], env, 600)]

    def stop(self):
        pass


class Win32:
    build = os.path.join(work, "win32")
    targets = ["tallowind_unit_tests", "tallowind_win32_tests"]

    def start(self):
        code, out = run(["cmake", "-S", SRC, "-B", self.build, "-G", "Ninja", "-DTW_PLATFORM=win32",
                         "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(SRC, "cmake", "mingw-w64.cmake"),
                         "-DCMAKE_BUILD_TYPE=Debug", "-DTW_BUILD_TESTS=ON"])
        if code:
            sys.exit("configuring the scratch Windows build failed:\n" + out)
        self.prefix = tempfile.mkdtemp(prefix="tw-mutants-wine-")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            display = ":" + pipe.readline().strip()
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", DISPLAY=display,
                        WINEDLLOVERRIDES="mscoree=;mshtml=")
        run(["wineboot", "-i"], self.env, 300)

    def compile(self):
        return run(["cmake", "--build", self.build, "-j2", "--target"] + self.targets)

    def test(self):
        return [run(["wine", os.path.join(self.build, "tests", "win32", "tallowind_win32_tests.exe")],
                    self.env, 600),
                run(["wine", os.path.join(self.build, "tests", "tallowind_unit_tests.exe")], self.env, 600)]

    def stop(self):
        run(["wineserver", "-k"], self.env, 60)
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.prefix, ignore_errors=True)


def verdict(runs):
    """The first failing test, or None when every test binary passed."""
    for code, out in runs:
        failed = FAILED.findall(out)
        if failed:
            return failed[0]
        if code:
            return "a test binary ended with status %d" % code
    return None


def swap(path, old, new):
    with open(path) as f:
        text = f.read()
    if text.count(old) != 1:
        sys.exit("%s: the line to mutate is there %d times, not once: %r" % (path, text.count(old), old))
    with open(path, "w") as f:
        f.write(text.replace(old, new))
    return text


def main():
    chosen = [m for m in MUTANTS if only in m[0]]
    os.makedirs(work, exist_ok=True)
    sync_tree()
    platforms = {"linux": Linux(), "win32": Win32()}
    wanted = {m[1] for m in chosen}
    results = []
    for name in ("linux", "win32"):
        if name not in wanted:
            continue
        platform = platforms[name]
        platform.start()
        try:
            code, out = platform.compile()
            if code:
                sys.exit("the unmutated tree does not build:\n" + out[-3000:])
            if verdict(platform.test()):
                sys.exit("the unmutated tree fails its tests (%s)" % verdict(platform.test()))
            for mutant, where, path, old, new in (m for m in chosen if m[1] == name):
                started = time.monotonic()
                original = swap(os.path.join(SRC, path), old, new)
                try:
                    code, out = platform.compile()
                    killer = ("did not build: " + next((line for line in out.splitlines() if "error" in line),
                                                        "?")) if code else verdict(platform.test())
                finally:
                    with open(os.path.join(SRC, path), "w") as f:
                        f.write(original)
                results.append((mutant, path, killer, time.monotonic() - started))
                print("%-62s %s" % (mutant, killer or "SURVIVED"), flush=True)
        finally:
            platform.stop()

    print()
    print("| # | mutation | file | killed by |")
    print("|---|---|---|---|")
    for i, (mutant, path, killer, _) in enumerate(results, 1):
        print("| %d | %s | `%s` | %s |" % (i, mutant, path, "`%s`" % killer if killer else "**survived**"))
    survived = [r for r in results if not r[2] or r[2].startswith("did not build")]
    print("\n%d mutations, %d killed, %d not" % (len(results), len(results) - len(survived), len(survived)))
    sys.exit(1 if survived else 0)


main()
PYTHON
