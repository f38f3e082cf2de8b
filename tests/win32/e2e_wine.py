#!/usr/bin/python3
"""tallowind.exe as a person uses it, under Wine, Xvfb and openbox: the
shaped window, clicks through the cut-out hole, dragging, the live captions,
the pop-up menu, the About box and Exit, and in a second start the
desktop's close (WM_DELETE_WINDOW); then at 125, 150, 175, 200 and 300 %
(LogPixels 120 to 288) the window, where it stands (centred to the device
pixel), its shape and the ornament against the face drawn at that scale, and
at 200 % the hole and the About box again.  Wine offers no accessibility tree,
so captions and message-box texts are read by a small Windows program
(wine_readout.exe) running in the same Wine session.

Usage: e2e_wine.py PATH_TO_TALLOWIND_EXE PATH_TO_WINE_INSPECT_EXE
WINEPREFIX, if set, names a prefix that is ready for use; otherwise a
throw-away one is made and removed.
"""

import json
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "support"))

from desktop import (CENTRING_SCALES, FACE_LIMITS, LABEL_RECTS, WHITE, App, Desktop,  # noqa: E402
                     centred, compare_shaped, load_picture, run, run_test, scale_rect, spawn,
                     wait_reading, wait_until, window_size)
from wine_prefix import WinePrefix  # noqa: E402
from gadget_checks import (Gadget, check_about, check_desktop_close, check_face,  # noqa: E402
                           check_hole_clicks, check_person_using_it, check_shape, drag_away,
                           drag_back, face_table)

CAPTION_PATTERNS = {"Label1": r"\d+ days,",
                    "Label2": r"\d+ hours, \d+ minutes and \d+ seconds\."}


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

    def __init__(self, desktop, prefix, exe, inspector):
        self.prefix = prefix
        self.inspector = inspector
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
    start, moved = drag_away(checks, desktop, gadget)
    # The move must end with the button: the window stays put afterwards.
    desktop.xdotool("mousemove", gadget.origin[0] + 150, gadget.origin[1] + 150)
    time.sleep(gadget.settle)
    checks.equal("the move ends when the button comes up", gadget.position(), moved)
    drag_back(checks, desktop, gadget, start)


def check_at_100(checks, prefix, exe, inspector, picture):
    with Desktop(window_manager=True) as desktop:
        gadget = WineGadget(desktop, prefix, exe, inspector)
        if not checks.check("the window is mapped", gadget.find_window()):
            return
        check_start(checks, gadget)
        check_person_using_it(checks, desktop, gadget, picture, check_hole, check_drag,
                              "Exit ends the process with status 0")
        gadget.app.stop()

        again = WineGadget(desktop, prefix, exe, inspector)
        window = again.find_window()
        if checks.check("a second start maps the window", window):
            check_desktop_close(checks, desktop, again.app, window, again.exit_wait)
        again.app.stop()


def check_at_scale(checks, prefix, exe, inspector, picture, scale, figures):
    """Sized from the monitor's dpi at creation, centred on it, the ornament
    drawn for the scale; at 200 % everything else too (Windows places the
    message box itself)."""
    checks.prefix = "%d %%: " % round(scale * 100)
    prefix.set_dpi(round(96 * scale))
    with Desktop(window_manager=True, scale=scale) as desktop:
        gadget = WineGadget(desktop, prefix, exe, inspector)
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
    exe, inspector = (os.path.abspath(p) for p in sys.argv[1:3])
    picture = load_picture()
    prefix = WinePrefix(run)
    try:
        check_at_100(checks, prefix, exe, inspector, picture)
        figures = {}
        for scale in sorted(FACE_LIMITS):
            prefix.wait_idle()
            check_at_scale(checks, prefix, exe, inspector, picture, scale, figures)
        print(face_table(figures))
    finally:
        prefix.wait_idle()
        prefix.close()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    run_test(main)
