"""tallowind.exe as a person uses it, under Wine, Xvfb and openbox: the
shaped window, clicks through the cut-out hole, dragging, the live captions,
the pop-up menu, the About box and Exit, and in a second start the
desktop's close (WM_DELETE_WINDOW); then at 125, 150, 175, 200 and 300 %
(LogPixels 120 to 288) the window, where it stands (centred to the device
pixel), its shape and the ornament against the face drawn at that scale, and
at 200 % the hole and the About box again.  Wine offers no accessibility tree,
so captions and message-box texts are read by a small Windows program
(wine_readout.exe) running in the same Wine session.

Some Wine versions set an X shape that is not the window's region: a bare
window with a small region (wine_shape_probe.exe) tells, before the gadget
starts, whether this Wine does.  If it does, the outline's mismatches where
the X shape is not the gadget's own region (GetWindowRgn, read through Wine)
are reported as Wine's, with the probe's result; every other one still fails.

Usage: e2e_wine.py PATH_TO_TALLOWIND_EXE PATH_TO_WINE_INSPECT_EXE PATH_TO_SHAPE_PROBE_EXE
WINEPREFIX, if set, names a prefix that is ready for use; otherwise a
throw-away one is made and removed.
"""

import json
import os
import re
import select
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "support"))

from desktop import (CENTRING_SCALES, FACE_LIMITS, LABEL_RECTS, WHITE, App, Desktop,  # noqa: E402
                     centred, compare_shaped, load_picture, pixels_of, run, run_test, scale_rect,
                     spawn, stop, wait_reading, wait_until, window_size)
from wine_prefix import WinePrefix  # noqa: E402
from gadget_checks import (Gadget, check_about, check_about_in_corners, check_desktop_close,  # noqa: E402
                           check_face, check_hole_clicks, check_nothing_happens, check_person_using_it,
                           check_shape, drag_away, drag_back, face_table, moved_from)

CAPTION_PATTERNS = {"Label1": r"\d+ days,",
                    "Label2": r"\d+ hours, \d+ minutes and \d+ seconds\."}
# The probe's window and region (left, top, right, bottom): spans that start
# and end inside one 8-pixel column group, at its start, middle and end, and
# spans across groups, which Wine 10 gets wrong and right respectively.
PROBE_SIZE = (40, 4)
PROBE_REGION = [(8, 0, 12, 1), (9, 1, 17, 2), (3, 2, 5, 3), (20, 2, 30, 3), (7, 3, 8, 4)]


class WineGadget(Gadget):
    """Captions and message boxes are read by the read-out helper."""

    # Wine answers a little slower than a native toolkit.
    settle = 0.8
    wait = 3.0
    poll = 0.2
    press_wait = 1.0
    shape_wait = 5
    unmap_wait = 3
    exit_wait = 5.0
    # The message box shows the About text with the CR LF line ends it was given.
    newline = "\r\n"

    def __init__(self, desktop, prefix, exe, inspector, wine_fault=None):
        self.prefix = prefix
        self.inspector = inspector
        self.wine_fault = wine_fault  # the Wine whose X shapes the probe found wrong
        super().__init__(desktop, App(desktop, spawn(["wine", exe], env=desktop.env(prefix.env()))))

    def find_window(self):
        window = self.app.main_window(timeout=30)
        if window:
            self.place(window)
        return window

    def looks_like(self, baseline):
        # The captions count down live: only the rest must stay the same.
        return same_outside_labels(self.shot(), baseline, self.scale)

    def inspect(self):
        """The Wine session's visible top-level windows, with their controls."""
        result = run(["wine", self.inspector], env=self.desktop.env(self.prefix.env()),
                                capture_output=True, text=True, timeout=30)
        return [json.loads(line) for line in result.stdout.splitlines() if line.startswith("{")]

    def not_ours(self, wrong):
        if not self.wine_fault:
            return [], ""
        # Not while the X window is still unshaped (one rectangle, which our
        # outline never is): it would then differ from the region almost everywhere.
        shape = self.desktop.shape_of(self.id)
        region = next((w["region"] for w in self.inspect() if w["class"] == "TallowindForm"), None)
        if len(shape) < 2 or not region:
            return [], ""
        differ = pixels_of(shape) ^ pixels_of(region)
        return [m for m in wrong if m[:2] in differ], (
            "Wine's: there the X shape %s set is not the window's region (GetWindowRgn), as it is not "
            "for the shape probe's window" % self.wine_fault)

    def captions(self):
        for window in self.inspect():
            if window["class"] != "TallowindForm":
                continue
            found = {}
            for child in window["children"]:
                for name, rect in LABEL_RECTS.items():
                    if child["class"] == "Static" and child["rect"] == list(scale_rect(rect, self.scale)):
                        found[name] = child["text"]
            return found
        return {}

    def message_boxes(self):
        return [w for w in self.inspect() if w["class"] == "#32770"]

    def read_message_boxes(self, boxes):
        controls = boxes[0]["children"] if boxes else []
        return ([b["text"] for b in boxes],
                [c["text"] for c in controls if c["class"] == "Static" and c["text"]],
                [c["text"] for c in controls if c["class"] == "Button"])


def same_outside_labels(a, b, scale):
    # Against b with white as the backdrop, every pixel outside the labels must be b's.
    labels = [scale_rect(r, scale) for r in LABEL_RECTS.values()]
    return a.size == b.size and not compare_shaped(a, b, WHITE, exclude=labels)


def check_start(checks, gadget):
    checks.equal("the window is centred on the screen", gadget.origin, centred(gadget.scale))
    captions = wait_reading(gadget.captions, lambda found: len(found) == 2, 5, 0.2)
    for name, pattern in CAPTION_PATTERNS.items():
        checks.check("%s reads like %r" % (name, pattern),
                     re.fullmatch(pattern, captions.get(name, "")), captions)
    later = wait_until(lambda: gadget.captions().get("Label2") not in (None, captions.get("Label2")),
                       4, 0.3)
    checks.check("the seconds count down live", later)


def check_hole(checks, desktop, gadget, picture):
    check_hole_clicks(checks, desktop, gadget, picture, ((3, "right"),),
                      lambda: checks.equal("a right click in the hole opens no menu",
                                           gadget.app.popups(), []))


def check_drag(checks, desktop, gadget):
    start, _ = drag_away(checks, desktop, gadget)
    drag_back(checks, desktop, gadget, start)
    # The move must end with the button: the window stays put afterwards.
    desktop.xdotool("mousemove", gadget.origin[0] + 150, gadget.origin[1] + 150)
    check_nothing_happens(checks, desktop, gadget, [("the move ends when the button comes up", moved_from(gadget))])


def probe_wine_shape(desktop, prefix, probe):
    """The X shape Wine sets for a bare window of region PROBE_REGION."""
    argv = ["wine", probe, "--size=%d,%d" % PROBE_SIZE] + ["%d,%d,%d,%d" % r for r in PROBE_REGION]
    process = spawn(argv, env=desktop.env(prefix.env()), stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    try:
        ready = select.select([process.stdout], [], [], 30)[0]
        shown = json.loads(process.stdout.readline() or "null") if ready else None
        if not shown or not shown["x11"] or [tuple(r) for r in shown["region"]] != PROBE_REGION:
            raise RuntimeError("the shape probe did not show its region: %r" % (shown,))

        def shaped():
            # Until Wine shapes it, an X window's shape is its one rectangle.
            shape = desktop.shape_of(shown["x11"])
            return shape if len(shape) > 1 else None
        return wait_until(shaped, 5) or []
    finally:
        process.stdin.close()  # which ends the probe
        wait_until(lambda: process.poll() is not None, 5)
        stop(process)


def check_at_100(checks, prefix, exe, inspector, picture, wine_fault):
    with Desktop(window_manager=True) as desktop:
        gadget = WineGadget(desktop, prefix, exe, inspector, wine_fault)
        if not checks.check("the window is mapped", gadget.find_window()):
            return
        check_start(checks, gadget)
        check_person_using_it(checks, desktop, gadget, picture, check_hole, check_drag,
                              "Exit ends the process with status 0")
        gadget.app.stop()

        again = WineGadget(desktop, prefix, exe, inspector)
        window = again.find_window()
        if checks.check("a second start maps the window", window):
            check_about_in_corners(checks, desktop, again)
            check_desktop_close(checks, desktop, again.app, window, again.exit_wait)
        again.app.stop()


def check_at_scale(checks, prefix, exe, inspector, picture, scale, figures, wine_fault):
    """Sized from the monitor's dpi at creation, centred on it, the ornament
    drawn for the scale; at 200 % everything else too (Windows places the
    message box itself)."""
    checks.prefix = "%d %%: " % round(scale * 100)
    prefix.set_dpi(round(96 * scale))
    with Desktop(window_manager=True, scale=scale) as desktop:
        gadget = WineGadget(desktop, prefix, exe, inspector, wine_fault)
        window = gadget.find_window()
        if not checks.check("a %dx%d window is mapped" % window_size(scale), window):
            return
        check_shape(checks, desktop, gadget, picture)
        check_face(checks, gadget, picture, os.path.join(os.path.dirname(exe), "e2e-faces"), figures)
        if scale != 2:
            if scale in CENTRING_SCALES:
                checks.equal("the window is centred on the screen", gadget.origin, centred(scale))
            # Ended as a user ends it: Wine's session outlasts a killed program.
            check_desktop_close(checks, desktop, gadget.app, window, gadget.exit_wait)
            gadget.app.stop()
            return
        check_start(checks, gadget)
        baseline = gadget.shot()
        check_hole(checks, desktop, gadget, picture)
        check_about(checks, desktop, gadget, baseline)
        gadget.app.stop()


def main(checks):
    exe, inspector, probe = (os.path.abspath(p) for p in sys.argv[1:4])
    picture = load_picture()
    prefix = WinePrefix(run)
    try:
        with Desktop(window_manager=True) as desktop:
            shape = probe_wine_shape(desktop, prefix, probe)
        version = prefix.version()
        wine_fault = None if pixels_of(shape) == pixels_of(PROBE_REGION) else version
        print("The shape probe: %s gives a bare WS_POPUP window of region %s %s" % (
            version, PROBE_REGION, "that X shape" if not wine_fault else "the X shape %s" % shape), flush=True)
        prefix.wait_idle()
        check_at_100(checks, prefix, exe, inspector, picture, wine_fault)
        figures = {}
        for scale in sorted(FACE_LIMITS):
            prefix.wait_idle()
            check_at_scale(checks, prefix, exe, inspector, picture, scale, figures, wine_fault)
        print(face_table(figures))
    finally:
        prefix.wait_idle()
        prefix.close()


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    run_test(main)
