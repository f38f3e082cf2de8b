"""The real program under Xvfb + openbox: one centred, shaped window showing
the picture, and the countdown captions at fixed instants of the wall clock.
In every fresh start the toolkit knows where the window really is, so the
About box opens centred over it.

Usage: test_countdown_window.py PATH_TO_TALLOWIND
With TW_SAVE_SCREENSHOT=<png> it also saves a screenshot for the README.
"""

import os
import sys

from desktop import (CENTRED, LABEL_RECTS, WINDOW_H, WINDOW_W, Desktop, compare_shaped,
                     describe_mismatches, edge, load_picture, run_test, wait_until, window_size)
from gadget_checks import check_about_over_gadget
from test_gadget import QtGadget

# (wall clock, zone, Label1, Label2)
INSTANTS = [
    ("2026-12-08 12:00:00", "UTC", "16 days,", "12 hours, 0 minutes and 0 seconds."),
    ("2026-12-24 23:59:59", "UTC", "0 days,", "0 hours, 0 minutes and 1 seconds."),
    # After the day itself every part goes negative: division truncates.
    ("2026-12-25 00:00:01", "UTC", "0 days,", "0 hours, 0 minutes and -1 seconds."),
    ("2026-12-26 01:01:01", "UTC", "-1 days,", "-1 hours, -1 minutes and -1 seconds."),
    # A new year aims at the new year's 25 December.
    ("2027-01-01 00:00:00", "UTC", "358 days,", "0 hours, 0 minutes and 0 seconds."),
    ("2028-01-01 00:00:00", "UTC", "359 days,", "0 hours, 0 minutes and 0 seconds."),
    # The clocks go back on 25 October; the count is plain wall-clock time.
    ("2026-10-24 12:00:00", "Europe/Berlin", "61 days,", "12 hours, 0 minutes and 0 seconds."),
]

README_INSTANT = ("2026-12-08 12:00:00", "UTC")
README_BACKDROP = "#2e3440"
README_MARGIN = 24


def check_window(checks, app, label):
    window = app.main_window()
    if not checks.check("%s: the window is mapped" % label, window, app.desktop.program_log()):
        return None
    visible = app.desktop.visible_windows_of(app.pid)
    checks.equal("%s: exactly one visible window of the process" % label,
                 [(w["width"], w["height"]) for w in visible], [(WINDOW_W, WINDOW_H)])
    checks.equal("%s: centred on the screen" % label, (window["x"], window["y"]), CENTRED)
    return window


def check_picture(checks, app, window, picture, label):
    backdrop = app.desktop.backdrop
    loose = list(LABEL_RECTS.values())

    wrong = []

    def matches():
        wrong[:] = compare_shaped(app.shot(window), picture, backdrop, loose=loose)
        return not wrong
    # The first frame may follow the map by a moment, by seconds on a busy machine.
    wait_until(matches, 10, 0.1)
    checks.check("%s: the screen shows the picture, cut to its outline" % label, not wrong,
                 describe_mismatches(wrong))


def check_captions(checks, app, expected, label):
    checks.equal("%s: captions" % label, app.wait_captions(expected), expected)


def check_position_known(checks, app, window, label):
    """A window manager reparents the window just after it is shown; the
    toolkit's idea of its position (what dialogs are placed by) must still
    be the server's."""
    believed = [n["extents"][:2] for n in app.accessible() or [] if n["role"] == "filler"]
    checks.equal("%s: the toolkit knows where the window is" % label, believed,
                 [[window["x"], window["y"]]])


def save_readme_screenshot(desktop, program, path):
    desktop.set_backdrop(README_BACKDROP)
    app = desktop.launch(program, fake_time=README_INSTANT[0], tz=README_INSTANT[1])
    window = app.main_window()
    if window is None:
        app.stop()
        return False
    if app.wait_captions({"Label1": "16 days,"}).get("Label1") != "16 days,":
        app.stop()
        return False
    m = edge(README_MARGIN, desktop.scale)
    w, h = window_size(desktop.scale)
    shot = desktop.screenshot(window["x"] - m, window["y"] - m, w + 2 * m, h + 2 * m)
    shot.save(path)
    app.stop()
    return True


def main(checks):
    program = os.path.abspath(sys.argv[1])
    picture = load_picture()
    with Desktop(window_manager=True, accessibility=True) as desktop:
        for when, zone, label1, label2 in INSTANTS:
            label = "%s %s" % (when, zone)
            app = desktop.launch(program, fake_time=when, tz=zone)
            try:
                window = check_window(checks, app, label)
                if window is None:
                    continue
                check_picture(checks, app, window, picture, label)
                check_captions(checks, app, {"Label1": label1, "Label2": label2}, label)
                check_position_known(checks, app, window, label)
                check_about_over_gadget(checks, app.desktop, QtGadget(app.desktop, app, window), label)
            finally:
                checks.check("%s: still running when closed" % label, app.alive())
                app.stop()

        target = os.environ.get("TW_SAVE_SCREENSHOT")
        if target:
            checks.check("README screenshot saved to " + target,
                         save_readme_screenshot(desktop, program, target))


if __name__ == "__main__":
    run_test(main)
