"""A mutation pass over the product's guards, to run before a release.

Each mutation below changes one line of a scratch copy of the tree; the
scratch build (the "debug" and "windows-tests" presets) is rebuilt
incrementally and the fast tests run: the unit and Qt tests, and the adapter
conformance table and where X11 positions land, on a private Xvfb at 150 %,
for the shared code and the Qt adapter; the Windows tests under Wine, on a private Xvfb, for the Win32
adapter. Every mutation must be killed, that is, make some test fail. Prints
a table of each mutation and the test that killed it; exits non-zero if one
survived.

Usage: mutants.py [TEXT]     only the mutations whose name holds TEXT
       mutants.py --check    only checks, in a second, that every mutation
                             still finds its line exactly once (the test
                             command runs this)
TW_MUTANTS_DIR chooses the scratch folder (kept between runs, so a second
run rebuilds little).
"""

import filecmp
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import wine_prefix  # noqa: E402
import xvfb  # noqa: E402

WORK = os.environ.get("TW_MUTANTS_DIR") or os.path.join(os.environ.get("TMPDIR", "/tmp"), "tallowind-mutants")
SRC = os.path.join(WORK, "src")
# A build job per core this process may use, as nproc counts them.
JOBS = str(len(os.sched_getaffinity(0)))

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
    # Pictures, the display scale and the renditions.
    ("picture: only 24-bit pictures", "linux", "platform/portable/picture.cpp",
     "if (planes != 1 || bitCount != 24 || compression != 0) ThrowInvalidPicture();",
     "if (planes != 1 || bitCount == 0 || compression != 0) ThrowInvalidPicture();"),
    ("pictures: the pixel cap counts the area", "linux", "platform/portable/picture.h",
     "return width <= kMaxPicturePixels && height <= kMaxPicturePixels && width * height <= kMaxPicturePixels;",
     "return width <= kMaxPicturePixels && height <= kMaxPicturePixels;"),
    ("scale: an unusable factor is one to one", "linux", "platform/portable/pixel_scale.cpp",
     "if (std::isfinite(factor) && factor > 0.0) factor_ = factor;", "factor_ = factor;"),
    ("scale: a picture no window could show is refused", "linux", "platform/portable/pixel_scale.cpp",
     "if (!WithinPixelCap(w, h)) throw", "if (!WithinPixelCap(w, h) && false) throw"),
    ("renditions: one of the wrong width is not used", "linux", "platform/portable/renditions.cpp",
     "rendition->Width() != drawn.Edge(picture.Width()) ||", "false ||"),
    ("renditions: one of the wrong height is not used", "linux", "platform/portable/renditions.cpp",
     "rendition->Height() != drawn.Edge(picture.Height())) {", "false) {"),
    ("renditions: the picture's key pixels stay the key", "linux", "platform/portable/renditions.cpp",
     "pixels.push_back(own == key ? key : c == key ? own : c);", "pixels.push_back(c == key ? own : c);"),
    # The start-up and the window system's port.
    ("start-up: a timer of interval 0 never ticks", "linux", "platform/ports/desktop_rules.h",
     "return {timer.enabled && timer.intervalMs > 0,", "return {timer.enabled,"),
    ("start-up: ticks never come closer than the floor", "linux", "platform/ports/desktop_rules.h",
     "std::max(timer.intervalMs, kMinTimerPeriodMs)", "timer.intervalMs"),
    ("start-up: only timers that tick are started", "linux", "platform/ports/startup.cpp",
     "if (schedule.ticks) window->StartTimer(i, schedule.periodMs);", "window->StartTimer(i, schedule.periodMs);"),
    ("start-up: the window is centred when laid out so", "linux", "platform/ports/desktop_rules.h",
     "if (!centred) return {screen.left, screen.top};", "if (centred || true) return {screen.left, screen.top};"),
    ("drag: the centre is kept on the pointer's screen", "linux", "platform/ports/desktop_rules.cpp",
     "if (under != nullptr && Holds(under->area, pointer)) {", "if (false) {"),
    ("drag: the scale is that of the screen under the pointer", "linux", "platform/ports/desktop_rules.cpp",
     "if (under == nullptr && !screens.empty()) under = &screens.front();",
     "if (!screens.empty()) under = &screens.front();"),
    ("start-up: no screen to tell of, no move", "linux", "platform/ports/startup.cpp",
     "if (const std::optional<Rect> screen = window->PrimaryScreen())",
     "if (const std::optional<Rect> screen = window->PrimaryScreen(); true)"),
    ("port: an adopted window takes its outline itself", "linux", "platform/ports/window_system.h",
     "if (adopted != adopted_.end()) {", "if (adopted != adopted_.end() && false) {"),
    ("port: an adoption ends with its owner", "linux", "platform/ports/window_system.h",
     "if (system_ != nullptr) system_->adopted_.erase(window_);", "(void)system_;"),
    # The Qt adapter.
    ("qt: no display, unless any platform of Qt's list can open", "linux", "platform/qt/display_check.cpp",
     'if (reason.empty()) return "";', 'if (reason.empty() && &platform == &platforms.front()) return "";'),
    ("qt: the move starts only with the left button down", "linux", "platform/qt/qt_window_system.cpp",
     "if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) return 0;",
     "if (QGuiApplication::mouseButtons() == Qt::NoButton) return 0;"),
    ("qt: a label swallows the presses on it", "linux", "platform/qt/qt_label.cpp",
     "void QtLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }",
     "void QtLabel::mousePressEvent(QMouseEvent* event) { event->ignore(); }"),
    ("wayland: an empty outline takes no clicks", "linux", "platform/qt/wayland/input_region.cpp",
     "window.setMask(QRegion(-1, -1, 1, 1));", "window.setMask(QRegion());"),
    ("x11: an empty outline shows nothing and takes no clicks", "linux", "platform/qt/qt_form.cpp",
     "const Region* shape = outline_ ? &deviceOutline_ : nullptr;",
     "const Region* shape = outline_ && !outline_->IsEmpty() ? &deviceOutline_ : nullptr;"),
    ("qt: a chosen item is handled before the menu call returns", "linux", "platform/qt/qt_form.cpp",
     "if (chosen != nullptr && handlers_ != nullptr) handlers_->Menu_Click(chosen->objectName().toStdString());",
     "if (chosen != nullptr && handlers_ != nullptr) QTimer::singleShot(0, this, [this, item = "
     "chosen->objectName().toStdString()] { handlers_->Menu_Click(item); });"),
    ("qt: a rescale on a screen change runs as a handler", "linux", "platform/qt/qt_form.cpp",
     "if (event->type() == QEvent::ScreenChangeInternal) RunHandler(runtime_, [&] { UpdateScale(); });",
     "if (event->type() == QEvent::ScreenChangeInternal) UpdateScale();"),
    ("qt: a rescale on a paint runs as a handler", "linux", "platform/qt/qt_form.cpp",
     "    RunHandler(runtime_, [&] { UpdateScale(); });\n    QPainter", "    UpdateScale();\n    QPainter"),
    ("qt: a rescale on show runs as a handler", "linux", "platform/qt/qt_form.cpp",
     "    RunHandler(runtime_, [&] {\n        if (!UpdateScale()) ApplyOutline();",
     "    std::invoke([&] {\n        if (!UpdateScale()) ApplyOutline();"),
    ("qt: the window's size is the layout's at its scale", "linux", "platform/qt/qt_form.cpp",
     "return {scale.Edge(layoutSize_.width()), scale.Edge(layoutSize_.height())};",
     "return {scale.Edge(width()), scale.Edge(height())};"),
    ("qt: Exit ends at once", "linux", "platform/qt/qt_runtime.cpp",
     "std::_Exit(exitStatus);", "std::exit(exitStatus);"),
    ("qt: a dialog stays on its screen", "linux", "platform/qt/qt_runtime.cpp",
     "std::clamp(centred.y(), top, bottom)", "std::clamp(centred.y(), top, bottom + 1000)"),
    ("qt: a dialog's title bar stays on its screen", "linux", "platform/qt/qt_runtime.cpp",
     "const int top = screen.top() + frame.top();", "const int top = screen.top();"),
    ("qt: a PNG is read only within the pixel cap", "linux", "platform/qt/qt_picture.cpp",
     "if (!withinCap) return std::nullopt;", "if (!withinCap && !size.isValid()) return std::nullopt;"),
    ("x11: the manager's move only from a running manager", "linux", "platform/qt/x11/moves.cpp",
     "return rootCheck != XCB_NONE && checkOfCheckWindow == rootCheck;",
     "return rootCheck != XCB_NONE && (checkOfCheckWindow == rootCheck || true);"),
    ("x11: a click never reaches the manager's move", "linux", "platform/qt/x11/moves.cpp",
     "return (to - from).manhattanLength() >= distance;", "return (to - from).manhattanLength() >= distance / 100;"),
    ("x11: a position asked for is the outer corner, border included", "linux", "platform/qt/x11/moves.cpp",
     "const QPoint corner = visible - QPoint(border, border);",
     "const QPoint corner = visible - QPoint(border, border) * 0;"),
    ("x11: the first placement asked again once a manager gave a border", "linux", "platform/qt/x11/hints.cpp",
     "if (BorderWidth(connection, window_) != border_) RequestPosition(window_, visible_);",
     "if (BorderWidth(connection, window_) != border_ && false) RequestPosition(window_, visible_);"),
    ("x11: the move request where a manager lists it and not its own move", "linux", "platform/qt/x11/moves.cpp",
     "if (lists(moveResizeWindow)) return MoveBy::kMoveResizeRequest;",
     "if (false && lists(moveResizeWindow)) return MoveBy::kMoveResizeRequest;"),
    ("x11: a size the manager took off as it mapped is asked for once more", "linux", "platform/qt/x11/hints.cpp",
     "if (atServer == wanted || asked_) return;", "return;"),
    ("x11: the window's own shape shows where no frame holds it", "linux", "platform/qt/x11/frame_shape.cpp",
     "if (!seen.framed) return FrameShapeStep::Leave;", "(void)seen.framed;"),
    ("x11: a frame its manager shapes is left to it", "linux", "platform/qt/x11/frame_shape.cpp",
     "if (seen.now) return FrameShapeStep::GiveUp;", "if (false) return FrameShapeStep::GiveUp;"),
    ("x11: an unshaped window leaves its frame unshaped", "linux", "platform/qt/x11/frame_shape.cpp",
     "return wanted ? FrameShapeStep::Shape : FrameShapeStep::Leave;", "return FrameShapeStep::Shape;"),
    ("x11: a frame whose manager changed our shape is left to it", "linux", "platform/qt/x11/frame_shape.cpp",
     "if (seen.now != seen.set) return FrameShapeStep::GiveUp;", "if (false) return FrameShapeStep::GiveUp;"),
    ("x11: the frame's shape follows the outline", "linux", "platform/qt/x11/frame_shape.cpp",
     "return wanted != seen.set ? FrameShapeStep::Shape : FrameShapeStep::Leave;", "return FrameShapeStep::Leave;"),
    ("x11: a frame's own shadow answer stays", "linux", "platform/qt/x11/shadow_keeper.cpp",
     "return topLevel != window && !topLevelHasOne;", "return topLevel != window || !topLevelHasOne;"),
    ("x11: an opacity set stays when it is told again", "linux", "platform/qt/x11/shadow_keeper.cpp",
     "if (!current.empty()) return {current.front(), false};", "(void)current;"),
    # The Win32 adapter.
    ("win32: the caption drag only with the left button down", "win32", "platform/win32/win32_window_system.cpp",
     "::GetKeyState(VK_LBUTTON) >= 0) {", "false) {"),
    ("win32: a label repaints only when its text changes", "win32", "platform/win32/win32_form.cpp",
     "if (caption == shown_) return;", "if (caption.empty()) return;"),
    ("win32: a label swallows the presses on it", "win32", "platform/win32/win32_form.cpp",
     "WS_CHILD | WS_VISIBLE | SS_NOTIFY | AlignmentStyle", "WS_CHILD | WS_VISIBLE | AlignmentStyle"),
    ("win32: labels and fonts follow the display scale", "win32", "platform/win32/win32_form.cpp",
     "for (auto& label : labels_) label->Rescale(scale_);", "(void)labels_;"),
    ("win32: a dpi change that fails is shown, not unwound", "win32", "platform/win32/win32_form.cpp",
     "RunHandler(runtime_, [&] { OnDpiChanged(", "std::invoke([&] { OnDpiChanged("),
    ("win32: the outline follows the display scale", "win32", "platform/win32/win32_form.cpp",
     "ApplyWindowRegion(hwnd_, outline_.get(), scale_, redraw);",
     "ApplyWindowRegion(hwnd_, outline_.get(), PixelScale(), redraw);"),
]

FAILED = re.compile(r"^\[  FAILED  \] (\S+)", re.M)


def misplaced(root=ROOT):
    """The mutations whose line is not in its file exactly once, as messages."""
    found = []
    for name, _, path, old, _ in MUTANTS:
        try:
            with open(os.path.join(root, path)) as f:
                count = f.read().count(old)
        except OSError as error:
            found.append("%s: %s: %s" % (name, path, error.strerror))
            continue
        if count != 1:
            found.append("%s: %s holds its line %d times, not once: %r" % (name, path, count, old))
    return found


def sync_tree():
    """The scratch copy follows the tree; unchanged files keep their times,
    so the scratch builds stay incremental."""
    skip = {".git", "dist"}
    for dirpath, dirnames, filenames in os.walk(ROOT):
        rel = os.path.relpath(dirpath, ROOT)
        dirnames[:] = [d for d in dirnames if d not in skip and not d.startswith("build")]
        os.makedirs(os.path.join(SRC, rel), exist_ok=True)
        for name in filenames:
            source, target = os.path.join(dirpath, name), os.path.join(SRC, rel, name)
            if not os.path.exists(target) or not filecmp.cmp(source, target, shallow=False):
                shutil.copy2(source, target)


def run(argv, env=None, timeout=900, cwd=None):
    result = subprocess.run(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", timeout=timeout, cwd=cwd)
    return result.returncode, result.stdout


def configure(preset):
    code, out = run(["cmake", "--preset", preset], cwd=SRC)
    if code:
        sys.exit("configuring the scratch build (%s) failed:\n%s" % (preset, out))


class Desktop:
    """A private Xvfb for the tests that show windows."""

    def start(self):
        self.xvfb, self.display = xvfb.start(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        self.xvfb.terminate()
        self.xvfb.wait()


class Linux(Desktop):
    build = os.path.join(SRC, "build", "debug")
    targets = ["tallowind_unit_tests", "tallowind_qt_tests"]

    def start(self):
        configure("debug")
        super().start()

    def compile(self):
        return run(["cmake", "--build", self.build, "-j", JOBS, "--target"] + self.targets)

    def test(self):
        offscreen = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        qt_tests = os.path.join(self.build, "tests", "qt", "tallowind_qt_tests")
        x11 = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_SCALE_FACTOR="1.5", DISPLAY=self.display)
        return [run([os.path.join(self.build, "tests", "tallowind_unit_tests")], offscreen, 600),
                run([qt_tests], offscreen, 600),
                run([qt_tests, "--gtest_filter=AdapterConformance.*:X11Position.*"], x11, 600)]


class Win32(Desktop):
    build = os.path.join(SRC, "build-win-tests")
    targets = ["tallowind_unit_tests", "tallowind_win32_tests"]

    def start(self):
        configure("windows-tests")
        super().start()
        self.prefix = wine_prefix.WinePrefix()
        self.env = dict(os.environ, DISPLAY=self.display, **self.prefix.env())

    def compile(self):
        return run(["cmake", "--build", self.build, "-j", JOBS, "--target"] + self.targets)

    def test(self):
        return [run(["wine", os.path.join(self.build, "tests", "win32", "tallowind_win32_tests.exe")],
                    self.env, 600),
                run(["wine", os.path.join(self.build, "tests", "tallowind_unit_tests.exe")], self.env, 600)]

    def stop(self):
        self.prefix.close()
        super().stop()


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
    with open(path, "w") as f:
        f.write(text.replace(old, new))
    return text


def mutate(platform, chosen, results):
    code, out = platform.compile()
    if code:
        sys.exit("the unmutated tree does not build:\n" + out[-3000:])
    first = verdict(platform.test())
    if first:
        sys.exit("the unmutated tree fails its tests (%s)" % first)
    for mutant, _, path, old, new in chosen:
        started = time.monotonic()
        original = swap(os.path.join(SRC, path), old, new)
        try:
            code, out = platform.compile()
            killer = ("did not build: " + next((line for line in out.splitlines() if "error" in line), "?")
                      if code else verdict(platform.test()))
        finally:
            with open(os.path.join(SRC, path), "w") as f:
                f.write(original)
        results.append((mutant, path, killer, time.monotonic() - started))
        print("%-62s %s" % (mutant, killer or "SURVIVED"), flush=True)


def main(argv):
    if argv[:1] == ["--check"]:
        problems = misplaced()
        for problem in problems:
            print("mutants: " + problem, file=sys.stderr)
        if not problems:
            print("mutants: all %d mutations find their line exactly once" % len(MUTANTS))
        return 1 if problems else 0
    only = argv[0] if argv else ""
    problems = misplaced()
    if problems:
        sys.exit("\n".join(problems))
    chosen = [m for m in MUTANTS if only in m[0]]
    os.makedirs(WORK, exist_ok=True)
    sync_tree()
    results = []
    for name, platform in (("linux", Linux()), ("win32", Win32())):
        mine = [m for m in chosen if m[1] == name]
        if not mine:
            continue
        platform.start()
        try:
            mutate(platform, mine, results)
        finally:
            platform.stop()

    print()
    print("| # | mutation | file | killed by |")
    print("|---|---|---|---|")
    for i, (mutant, path, killer, _) in enumerate(results, 1):
        print("| %d | %s | `%s` | %s |" % (i, mutant, path, "`%s`" % killer if killer else "**survived**"))
    survived = [r for r in results if not r[2] or r[2].startswith("did not build")]
    print("\n%d mutations, %d killed, %d not" % (len(results), len(results) - len(survived), len(survived)))
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
