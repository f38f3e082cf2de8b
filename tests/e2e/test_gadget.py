"""The gadget as a person uses it, under Xvfb + openbox: the shaped window,
clicks through the cut-out hole, dragging, the pop-up menu, the About box and
Exit, and the labels that take presses without acting on them.

Usage: test_gadget.py PATH_TO_TALLOWIND
"""

import os
import subprocess
import sys

from desktop import LABEL_RECTS, Desktop, inside_rect, load_picture, run_test
from gadget_checks import (CONTROL_POINT, LABEL_POINTS, PICTURE_POINT, Gadget, check_hole_clicks,
                           check_person_using_it, drag_away, drag_back)

# A frozen wall clock keeps the captions, and so every screenshot, still.
INSTANT = ("2026-12-08 12:00:00", "UTC")


class QtGadget(Gadget):
    """Message boxes are read from the accessible tree."""

    def message_boxes(self):
        return self.app.alerts()

    def read_message_boxes(self, alerts):
        tree = self.app.accessible() or []
        box = next((i for i, n in enumerate(tree) if n["role"] == "alert"), None)
        inside = [n for n in tree if box is not None and descends(tree, n, box)]
        return ([a["name"] for a in alerts],
                [n["name"] for n in inside if n["role"] == "label"],
                [n["name"] for n in inside if n["role"] == "push button"])


def descends(tree, node, ancestor):
    parent = node["parent"]
    while parent is not None:
        if parent == ancestor:
            return True
        parent = tree[parent]["parent"]
    return False


def check_picture_points(checks, picture):
    """The chosen points must be what the tests assume, or every check
    built on them is void."""
    px = picture.load()
    for point in (PICTURE_POINT, CONTROL_POINT):
        solid = all(px[point[0] + dx, point[1] + dy] != (255, 255, 255) for dx in range(-3, 4) for dy in range(-3, 4))
        checks.check("the picture point %r is on the picture, outside the labels" % (point,),
                     solid and not any(inside_rect(*point, r) for r in LABEL_RECTS.values()))
    checks.check("the label points are on the picture",
                 all(px[p] != (255, 255, 255) for p in LABEL_POINTS.values()))


def check_hole(checks, desktop, gadget, picture):
    def afterwards():
        checks.equal("clicks in the hole open no menu", gadget.app.popups(), [])
        checks.equal("clicks in the hole do not move the window", gadget.position(), gadget.origin)
        px, py = gadget.screen(PICTURE_POINT)
        desktop.xdotool("mousemove", px, py)
        checks.equal("over the picture the pointer is on the gadget",
                     desktop.top_level(desktop.pointer_window()), desktop.top_level(gadget.id))
    check_hole_clicks(checks, desktop, gadget, picture, ((1, "left"), (3, "right")), afterwards)


def check_drag(checks, desktop, gadget):
    start = gadget.position()
    # The window manager takes the pointer's start point from the program;
    # if that is worked out from a stale idea of where the window is, the
    # window jumps by the difference.
    believed = [n["extents"][:2] for n in gadget.app.accessible() or [] if n["role"] == "filler"]
    hint = "" if believed == [list(start)] else \
        " (the toolkit believes the window is at %r, it is at %r)" % (believed, start)
    drag_away(checks, desktop, gadget, hint)
    drag_back(checks, desktop, gadget, start)
    if gadget.position() != start:
        # Put it back by other means so that later checks stand on their own.
        desktop.xdotool("windowmove", "--sync", gadget.id, *start)
        gadget.wait_position(start)
        gadget.origin = gadget.position()


def start(checks, desktop, program, mapped="the window is mapped"):
    """The program at INSTANT, once its window is mapped and its captions
    are in; None if it does not map."""
    app = desktop.launch(program, fake_time=INSTANT[0], tz=INSTANT[1])
    window = app.main_window()
    if not checks.check(mapped, window, desktop.program_log()):
        app.stop()
        return None
    app.wait_captions({"Label1": "16 days,"})
    return QtGadget(desktop, app, window)


# Starts with no desktop to show on, or one named by Qt's own options: what
# is set, the environment, the arguments, and the one line the program must
# print before it exits with status 1 (or "maps": the window maps; "runs": it
# keeps running).
NO_DESKTOP = (
    ("no display", {"DISPLAY": None, "QT_QPA_PLATFORM": None}, (),
     "no X11 or Wayland display (DISPLAY and WAYLAND_DISPLAY are unset)"),
    ("a display that is not there", {"DISPLAY": "{missing}"}, (),
     'cannot open the X11 display "{missing}"'),
    ("Wayland and no compositor", {"DISPLAY": None, "QT_QPA_PLATFORM": "wayland"}, (),
     "no Wayland display (no compositor's socket at {runtime}/wayland-0)"),
    ("-display and no DISPLAY", {"DISPLAY": None}, ("-display", "{display}"), "maps"),
    ("-platform offscreen and no DISPLAY", {"DISPLAY": None}, ("-platform", "offscreen"), "runs"),
    # Qt's list of platforms, tried in order: X11 after a missing compositor.
    ("wayland;xcb and no compositor", {"QT_QPA_PLATFORM": "wayland;xcb"}, (), "maps"),
    ("-platform wayland;xcb and no compositor", {"QT_QPA_PLATFORM": None}, ("-platform", "wayland;xcb"), "maps"),
    ("a list of which nothing opens", {"DISPLAY": None, "QT_QPA_PLATFORM": "wayland;xcb"}, (),
     "no Wayland display (no compositor's socket at {runtime}/wayland-0); no X11 display (DISPLAY is unset)"),
)


def check_no_desktop(checks, desktop, program):
    number = next(n for n in range(900, 999) if not os.path.exists("/tmp/.X11-unix/X%d" % n))
    fill = lambda text: text.format(display=desktop.display_name, missing=":%d" % number,
                                    runtime=desktop.runtime_dir)
    for name, env, args, outcome in NO_DESKTOP:
        env = {key: value and fill(value) for key, value in env.items()}
        logged = len(desktop.program_log())
        app = desktop.launch(program, extra_env=env, args=[fill(a) for a in args])
        if outcome == "maps":
            checks.check(name + ": the window maps", app.main_window(), desktop.program_log())
        else:
            try:
                status = app.process.wait(1.0)
            except subprocess.TimeoutExpired:
                status = None
            line = None if outcome == "runs" else "tallowind: cannot show the gadget: %s\n" % fill(outcome)
            checks.equal(name + ": " + ("keeps running" if line is None else "one line, status 1 within 1 s"),
                         (status, desktop.program_log()[logged:] if line else None), (line and 1, line))
        app.stop()


def main(checks):
    program = os.path.abspath(sys.argv[1])
    picture = load_picture()
    check_picture_points(checks, picture)
    with Desktop(window_manager=True, accessibility=True) as desktop:
        gadget = start(checks, desktop, program)
        if gadget:
            check_person_using_it(checks, desktop, gadget, picture, check_hole, check_drag,
                                  "Exit ends the process at once with status 0")
            gadget.app.stop()
        check_no_desktop(checks, desktop, program)


if __name__ == "__main__":
    run_test(main)
