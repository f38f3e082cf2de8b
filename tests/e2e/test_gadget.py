#!/usr/bin/python3
"""The gadget as a person uses it, under Xvfb + openbox: the shaped window,
clicks through the cut-out hole, dragging, the pop-up menu, the About box and
Exit, and the labels that take presses without acting on them.

Usage: test_gadget.py PATH_TO_TALLOWIND
"""

import os
import sys
import time

from desktop import (LABEL_RECTS, Desktop, compare_shaped, deepest_pixel, describe_mismatches,
                     enclosed_white_pixels, inside_rect, load_picture, run_test, wait_until)

# A frozen wall clock keeps the captions, and so every screenshot, still.
INSTANT = ("2026-12-08 12:00:00", "UTC")
CATCHER_COLOUR = "#ff00ff"
ABOUT_TEXT = "\n".join([
    "Tallowind was designed by Orlevask.",
    "Share it with others.",
    "I got this idea from the MacOS X",
    "For any more informations, visit our website: ",
    "https://tallowind.example/",
])
# Window coordinates on the ball, away from its edge and from the labels.
PICTURE_POINT = (90, 70)
LABEL_POINTS = {name: (x + w // 2, y + h // 2) for name, (x, y, w, h) in LABEL_RECTS.items()}
SETTLE = 0.6  # how long "nothing happens" is watched for


class Gadget:
    def __init__(self, desktop, app, window):
        self.desktop = desktop
        self.app = app
        self.id = window["id"]
        self.origin = (window["x"], window["y"])

    def position(self):
        return self.app.position(self.id)

    def screen(self, point):
        return (self.origin[0] + point[0], self.origin[1] + point[1])

    def shot(self):
        x, y = self.position()
        return self.desktop.screenshot(x, y, 183, 211)

    def wait_position(self, expected, timeout=2.0):
        wait_until(lambda: self.position() == expected, timeout)
        return self.position()

    def popup(self, timeout):
        found = wait_until(self.app.popups, timeout)
        return found[0] if found else None

    def right_click(self, point):
        x, y = self.screen(point)
        self.desktop.xdotool("mousemove", x, y, "click", 3)

    def menu_pick(self, keys):
        """Opens the menu on the picture and picks an item with the keyboard."""
        self.right_click(PICTURE_POINT)
        if self.popup(2.0) is None:
            return False
        self.desktop.xdotool("key", *keys)
        return True


def check_picture_points(checks, picture):
    """The chosen points must be what the tests assume, or every check
    built on them is void."""
    px = picture.load()
    solid = all(px[PICTURE_POINT[0] + dx, PICTURE_POINT[1] + dy] != (255, 255, 255)
                for dx in range(-3, 4) for dy in range(-3, 4))
    checks.check("the picture point is on the picture, outside the labels",
                 solid and not any(inside_rect(*PICTURE_POINT, r) for r in LABEL_RECTS.values()))
    checks.check("the label points are on the picture",
                 all(px[p] != (255, 255, 255) for p in LABEL_POINTS.values()))


def check_shape(checks, desktop, gadget, picture):
    wrong = []

    def matches():
        wrong[:] = compare_shaped(gadget.shot(), picture, desktop.backdrop,
                                  loose=list(LABEL_RECTS.values()))
        return not wrong
    wait_until(matches, 3, 0.1)
    checks.check("the window is cut to the picture's outline", not wrong, describe_mismatches(wrong))


def check_hole(checks, desktop, gadget, picture):
    holes = enclosed_white_pixels(picture)
    if not checks.check("the picture has a hole inside its outline", holes):
        return
    hole = deepest_pixel(holes)
    x, y = gadget.origin
    catcher = desktop.make_catcher(x - 20, y - 20, 183 + 40, 211 + 40, CATCHER_COLOUR)
    try:
        hx, hy = gadget.screen(hole)
        desktop.xdotool("mousemove", hx, hy)
        checks.equal("over the hole %r the pointer is on the window below" % (hole,),
                     desktop.pointer_window(), catcher.id)
        for button, what in ((1, "left"), (3, "right")):
            desktop.xdotool("click", button)
            checks.equal("a %s click in the hole reaches the window below" % what,
                         catcher.presses(), [button])
        time.sleep(SETTLE)
        checks.equal("clicks in the hole open no menu", gadget.app.popups(), [])
        checks.equal("clicks in the hole do not move the window", gadget.position(), gadget.origin)
        px, py = gadget.screen(PICTURE_POINT)
        desktop.xdotool("mousemove", px, py)
        checks.equal("over the picture the pointer is on the gadget",
                     desktop.top_level(desktop.pointer_window()), desktop.top_level(gadget.id))
    finally:
        catcher.destroy()


def check_drag(checks, desktop, gadget):
    start = gadget.position()
    # The window manager takes the pointer's start point from the program;
    # if that is worked out from a stale idea of where the window is, the
    # window jumps by the difference.
    believed = [n["extents"][:2] for n in gadget.app.accessible() or [] if n["role"] == "filler"]
    hint = "" if believed == [list(start)] else \
        " (the toolkit believes the window is at %r, it is at %r)" % (believed, start)
    desktop.drag(gadget.screen(PICTURE_POINT), (50, 30))
    moved = (start[0] + 50, start[1] + 30)
    checks.check("a left drag of 50x30 moves the window by 50x30", gadget.wait_position(moved) == moved,
                 "got %r, expected %r%s" % (gadget.position(), moved, hint))
    gadget.origin = gadget.position()
    desktop.drag(gadget.screen(PICTURE_POINT), (-50, -30))
    checks.equal("a drag back puts it back", gadget.wait_position(start), start)
    if gadget.position() != start:
        # Put it back by other means so that later checks stand on their own.
        desktop.xdotool("windowmove", "--sync", gadget.id, *start)
        gadget.wait_position(start)
    gadget.origin = gadget.position()


def check_labels_inert(checks, desktop, gadget):
    start = gadget.position()
    for name, point in LABEL_POINTS.items():
        gadget.right_click(point)
        popup = gadget.popup(SETTLE)
        checks.check("a right press inside %s opens no menu" % name, popup is None)
        if popup is not None:
            desktop.xdotool("key", "Escape")
            wait_until(lambda: not gadget.app.popups(), 2)
        desktop.drag(gadget.screen(point), (50, 30))
        time.sleep(SETTLE)
        checks.equal("a left drag from inside %s does not move the window" % name,
                     gadget.position(), start)


def check_menu_no_move(checks, desktop, gadget, baseline):
    start = gadget.position()
    gadget.right_click(PICTURE_POINT)
    popup = gadget.popup(2.0)
    if not checks.check("a right click on the picture opens a pop-up menu", popup):
        return
    pointer = gadget.screen(PICTURE_POINT)
    checks.equal("the menu opens at the pointer", (popup["x"], popup["y"]), pointer)
    desktop.xdotool("key", "Escape")
    checks.check("Escape closes the menu", wait_until(lambda: not gadget.app.popups(), 2))
    # A move begun by the right press would follow the pointer now.
    desktop.xdotool("mousemove", pointer[0] + 40, pointer[1] + 25)
    time.sleep(SETTLE)
    checks.equal("the right press did not start a move", gadget.position(), start)
    checks.check("the window looks as before", same_image(gadget.shot(), baseline))


def check_about(checks, desktop, gadget, baseline):
    start = gadget.position()
    if not checks.check("menu: Down, Return", gadget.menu_pick(["Down", "Return"])):
        return
    alerts = wait_until(gadget.app.alerts, 5, 0.1) or []
    checks.equal("About opens one message box titled 'About...'",
                 [a["name"] for a in alerts], ["About..."])
    tree = gadget.app.accessible() or []
    box = next((i for i, n in enumerate(tree) if n["role"] == "alert"), None)
    inside = [n for n in tree if box is not None and descends(tree, n, box)]
    checks.equal("its text is the five lines", [n["name"] for n in inside if n["role"] == "label"],
                 [ABOUT_TEXT])
    checks.equal("its one button is OK", [n["name"] for n in inside if n["role"] == "push button"],
                 ["OK"])

    dialogs = [w for w in desktop.visible_windows_of(gadget.app.pid)
               if w["id"] != gadget.id and not w["override_redirect"]]
    if not checks.equal("the message box is one more window", len(dialogs), 1):
        return
    desktop.xdotool("windowactivate", "--sync", dialogs[0]["id"])
    desktop.xdotool("key", "Return")
    checks.check("Return closes the message box", wait_until(lambda: not gadget.app.alerts(), 5, 0.1))
    checks.equal("the gadget is all that stays visible",
                 [w["id"] for w in desktop.visible_windows_of(gadget.app.pid)], [gadget.id])
    checks.equal("the gadget has not moved", gadget.position(), start)
    checks.check("the gadget looks as before", wait_until(lambda: same_image(gadget.shot(), baseline), 2))


def check_exit(checks, gadget):
    if not checks.check("menu: Up, Return", gadget.menu_pick(["Up", "Return"])):
        return
    try:
        status = gadget.app.process.wait(1.0)
    except Exception:  # noqa: BLE001 - a timeout is the failure reported below
        status = None
    checks.equal("Exit ends the process at once with status 0", status, 0)


def descends(tree, node, ancestor):
    parent = node["parent"]
    while parent is not None:
        if parent == ancestor:
            return True
        parent = tree[parent]["parent"]
    return False


def same_image(a, b):
    return a.size == b.size and a.tobytes() == b.tobytes()


def main(checks):
    program = os.path.abspath(sys.argv[1])
    picture = load_picture()
    check_picture_points(checks, picture)
    with Desktop(window_manager=True, accessibility=True) as desktop:
        app = desktop.launch(program, fake_time=INSTANT[0], tz=INSTANT[1])
        window = app.main_window()
        if not checks.check("the window is mapped", window, desktop.program_log()):
            return
        gadget = Gadget(desktop, app, window)
        wait_until(lambda: app.captions().get("Label1") == "16 days,", 6, 0.1)

        check_shape(checks, desktop, gadget, picture)
        baseline = gadget.shot()
        check_hole(checks, desktop, gadget, picture)
        check_drag(checks, desktop, gadget)
        check_labels_inert(checks, desktop, gadget)
        check_menu_no_move(checks, desktop, gadget, baseline)
        check_about(checks, desktop, gadget, baseline)
        check_exit(checks, gadget)
        app.stop()


if __name__ == "__main__":
    run_test(main)
