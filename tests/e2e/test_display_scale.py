"""The gadget on desktops at 200 % and 150 % display scale (Xvfb + openbox
with Xft.dpi 192 and 144): a window of the layout's size times the scale,
centred on the screen to the device pixel (as also at 125 % and 100 %), cut
to the picture's outline, the ornament close to the face drawn at that scale
(also at 125, 175 and 300 %), the captions read as at
100 %, the hole still clicking through, a drag moving the window by exactly
the pointer's motion, and the About box over the gadget, also when the
gadget stands in a corner of the screen.  A desktop scale at which the
gadget would not fit on the screen gives it 100 %.  A QT_SCALE_FACTOR the
program cannot honour (zero, not a number, or too large for the screen) leaves it at
the desktop's scale.  With TW_SAVE_SCREENSHOT_200=<png> it also saves the
README's screenshot at 200 %.

Usage: test_display_scale.py PATH_TO_TALLOWIND
"""

import os
import sys

from desktop import (CENTRING_SCALES, FACE_LIMITS, WHITE, Desktop, centred,
                     load_picture, run_test, wait_until, window_size)
from gadget_checks import (check_about_in_corners, check_about_over_gadget, check_face, check_shape, drag_away,
                           drag_back, face_table)
from test_countdown_window import save_readme_screenshot
from test_gadget import QtGadget, check_hole, start

SCALES = (2.0, 1.5)
UNUSABLE_FACTORS = ("0", "-1", "abc", "50")
CAPTIONS = {"Label1": "16 days,", "Label2": "12 hours, 0 minutes and 0 seconds."}


def check_area(checks, desktop, gadget, picture):
    """What shows is the picture's drawn area times the scale squared."""
    drawn = sum(1 for p in picture.getdata() if p != WHITE)
    shown = sum(1 for p in gadget.shot().getdata() if p != desktop.backdrop)
    ratio = shown / (drawn * gadget.scale ** 2)
    checks.check("the shown area is the drawn area times %g" % gadget.scale ** 2,
                 abs(ratio - 1) <= 0.01, "ratio %.4f" % ratio)


def check_too_large_for_the_desktop(checks, program):
    """At 400 % even the desktop's own scale would not fit the gadget on the
    screen: it runs at 100 %."""
    checks.prefix = "400 %: "
    with Desktop(window_manager=True, scale=4) as desktop:
        app = desktop.launch(program)
        mapped = wait_until(lambda: [(w["width"], w["height"]) for w in desktop.visible_windows_of(app.pid)], 10)
        checks.equal("the gadget is shown at 100 %", mapped, [window_size(1)])
        app.stop()


def check_unusable_factors(checks, desktop, program, picture):
    for factor in UNUSABLE_FACTORS:
        app = desktop.launch(program, extra_env={"QT_SCALE_FACTOR": factor})
        window = app.main_window()
        if checks.check("QT_SCALE_FACTOR=%s: a window at the desktop's scale" % factor, window,
                        "windows %r" % desktop.visible_windows_of(app.pid)):
            check_shape(checks, desktop, QtGadget(desktop, app, window), picture)
        app.stop()


def check_scale(checks, program, picture, scale, figures):
    checks.prefix = "%d %%: " % round(scale * 100)
    with Desktop(window_manager=True, accessibility=True, scale=scale) as desktop:
        gadget = start(checks, desktop, program, "a %dx%d window is mapped" % window_size(scale))
        if not gadget:
            return
        if scale in CENTRING_SCALES:
            checks.equal("centred to the device pixel", gadget.origin, centred(scale))
        check_shape(checks, desktop, gadget, picture)
        check_face(checks, gadget, picture, os.path.join(os.path.dirname(program), "e2e-faces"), figures)
        if scale not in SCALES:
            gadget.app.stop()
            return
        checks.equal("the captions read through the accessible tree", gadget.app.wait_captions(CAPTIONS),
                     CAPTIONS)
        check_area(checks, desktop, gadget, picture)
        check_hole(checks, desktop, gadget, picture)
        before, _ = drag_away(checks, desktop, gadget)
        drag_back(checks, desktop, gadget, before)
        check_about_over_gadget(checks, desktop, gadget, "after a drag")
        check_about_in_corners(checks, desktop, gadget)
        gadget.app.stop()
        if scale == SCALES[0]:
            check_unusable_factors(checks, desktop, program, picture)
            target = os.environ.get("TW_SAVE_SCREENSHOT_200")
            if target:
                checks.check("README screenshot at 200 % saved to " + target,
                             save_readme_screenshot(desktop, program, target))


def check_centred_only(checks, program, scale):
    """At the scales not checked in full: where the window stands."""
    checks.prefix = "%d %%: " % round(scale * 100)
    with Desktop(window_manager=True, accessibility=True, scale=scale) as desktop:
        gadget = start(checks, desktop, program, "a %dx%d window is mapped" % window_size(scale))
        if gadget:
            checks.equal("centred to the device pixel", gadget.origin, centred(scale))
            gadget.app.stop()


def main(checks):
    program = os.path.abspath(sys.argv[1])
    picture = load_picture()
    figures = {}
    scales = sorted(set(SCALES) | set(FACE_LIMITS))
    for scale in scales:
        check_scale(checks, program, picture, scale, figures)
    print(face_table(figures))
    check_too_large_for_the_desktop(checks, program)
    for scale in CENTRING_SCALES:
        if scale not in scales:
            check_centred_only(checks, program, scale)


if __name__ == "__main__":
    run_test(main)
