#!/usr/bin/python3
"""tallowind.exe as a person uses it, under Wine, Xvfb and openbox: the
shaped window, clicks through the cut-out hole, dragging, the live captions,
the pop-up menu, the About box and Exit.  Wine offers no accessibility tree,
so captions and message-box texts are read by a small Windows program
(wine_readout.exe) running in the same Wine session.

Usage: e2e_wine.py PATH_TO_TALLOWIND_EXE PATH_TO_WINE_INSPECT_EXE
WINEPREFIX, if set, names a prefix that is ready for use; otherwise a
throw-away one is made and removed.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

from desktop import (CENTRED, LABEL_RECTS, WINDOW_H, WINDOW_W, App, Desktop,  # noqa: E402
                     compare_shaped, deepest_pixel, describe_mismatches, enclosed_white_pixels,
                     inside_rect, load_picture, run_test, spawn, wait_until)

CATCHER_COLOUR = "#ff00ff"
ABOUT_TEXT = "\r\n".join([
    "Tallowind was designed by Orlevask.",
    "Share it with others.",
    "I got this idea from the MacOS X",
    "For any more informations, visit our website: ",
    "https://tallowind.example/",
])
PICTURE_POINT = (90, 70)
LABEL_POINTS = {name: (x + w // 2, y + h // 2) for name, (x, y, w, h) in LABEL_RECTS.items()}
CAPTION_PATTERNS = {"Label1": r"\d+ days,",
                    "Label2": r"\d+ hours, \d+ minutes and \d+ seconds\."}
SETTLE = 0.8  # Wine answers a little slower than a native toolkit


class WinePrefix:
    """The prefix the program runs in: the caller's, or a throw-away one."""

    def __init__(self):
        self.path = os.environ.get("WINEPREFIX")
        self.owned = not (self.path and os.path.isdir(self.path))
        if self.owned:
            self.path = tempfile.mkdtemp(prefix="tw-wine-e2e-")
            subprocess.run(["wineboot", "-i"], env=self.env(headless=True),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
        self.wait_idle()

    def env(self, headless=False):
        env = {"WINEPREFIX": self.path, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree=;mshtml="}
        if headless:
            env = dict(os.environ, **env)
            env.pop("DISPLAY", None)
        return env

    def wait_idle(self):
        # A session left from an earlier test holds another display: let it end.
        subprocess.run(["wineserver", "-w"], env=dict(os.environ, **self.env()), timeout=60)

    def close(self):
        if self.owned:
            subprocess.run(["wineserver", "-k"], env=dict(os.environ, **self.env()), timeout=60)
            shutil.rmtree(self.path, ignore_errors=True)


class WineGadget:
    def __init__(self, desktop, prefix, exe, inspector):
        self.desktop = desktop
        self.prefix = prefix
        self.inspector = inspector
        self.app = App(desktop, spawn(["wine", exe], env=desktop.env(prefix.env())))
        self.id = None
        self.origin = None

    def find_window(self):
        window = self.app.main_window(timeout=30)
        if window:
            self.id = window["id"]
            self.origin = (window["x"], window["y"])
        return window

    def position(self):
        return self.app.position(self.id)

    def screen(self, point):
        return (self.origin[0] + point[0], self.origin[1] + point[1])

    def shot(self):
        x, y = self.position()
        return self.desktop.screenshot(x, y, WINDOW_W, WINDOW_H)

    def wait_position(self, expected, timeout=3.0):
        wait_until(lambda: self.position() == expected, timeout)
        return self.position()

    def popup(self, timeout):
        found = wait_until(self.app.popups, timeout)
        return found[0] if found else None

    def right_click(self, point):
        x, y = self.screen(point)
        self.desktop.xdotool("mousemove", x, y, "click", 3)

    def menu_pick(self, keys):
        self.right_click(PICTURE_POINT)
        if self.popup(3.0) is None:
            return False
        self.desktop.xdotool("key", *keys)
        return True

    def inspect(self):
        """The Wine session's visible top-level windows, with their controls."""
        result = subprocess.run(["wine", self.inspector], env=self.desktop.env(self.prefix.env()),
                                capture_output=True, text=True, timeout=30)
        return [json.loads(line) for line in result.stdout.splitlines() if line.startswith("{")]

    def captions(self):
        for window in self.inspect():
            if window["class"] != "TallowindForm":
                continue
            found = {}
            for child in window["children"]:
                for name, rect in LABEL_RECTS.items():
                    if child["class"] == "Static" and child["rect"] == list(rect):
                        found[name] = child["text"]
            return found
        return {}

    def message_boxes(self):
        return [w for w in self.inspect() if w["class"] == "#32770"]


def same_outside_labels(a, b):
    if a.size != b.size:
        return False
    pa, pb = a.load(), b.load()
    return all(pa[x, y] == pb[x, y] for y in range(a.size[1]) for x in range(a.size[0])
               if not any(inside_rect(x, y, r) for r in LABEL_RECTS.values()))


def check_start(checks, gadget):
    checks.equal("the window is centred on the screen", gadget.origin, CENTRED)
    captions = wait_until(lambda: gadget.captions() if len(gadget.captions()) == 2 else None, 5, 0.2)
    captions = captions or {}
    for name, pattern in CAPTION_PATTERNS.items():
        checks.check("%s reads like %r" % (name, pattern),
                     re.fullmatch(pattern, captions.get(name, "")), captions)
    later = wait_until(lambda: gadget.captions().get("Label2") not in (None, captions.get("Label2")),
                       4, 0.3)
    checks.check("the seconds count down live", later)


def check_shape(checks, desktop, gadget, picture):
    wrong = []

    def matches():
        wrong[:] = compare_shaped(gadget.shot(), picture, desktop.backdrop,
                                  loose=list(LABEL_RECTS.values()))
        return not wrong
    wait_until(matches, 5, 0.2)
    checks.check("the window is cut to the picture's outline", not wrong, describe_mismatches(wrong))


def check_hole(checks, desktop, gadget, picture):
    holes = enclosed_white_pixels(picture)
    if not checks.check("the picture has a hole inside its outline", holes):
        return
    hole = deepest_pixel(holes)
    x, y = gadget.origin
    catcher = desktop.make_catcher(x - 20, y - 20, WINDOW_W + 40, WINDOW_H + 40, CATCHER_COLOUR)
    try:
        hx, hy = gadget.screen(hole)
        desktop.xdotool("mousemove", hx, hy)
        checks.equal("over the hole %r the pointer is on the window below" % (hole,),
                     desktop.pointer_window(), catcher.id)
        desktop.xdotool("click", 3)
        checks.equal("a right click in the hole reaches the window below", catcher.presses(1.0), [3])
        time.sleep(SETTLE)
        checks.equal("a right click in the hole opens no menu", gadget.app.popups(), [])
    finally:
        catcher.destroy()


def check_drag(checks, desktop, gadget):
    start = gadget.position()
    desktop.drag(gadget.screen(PICTURE_POINT), (50, 30))
    moved = (start[0] + 50, start[1] + 30)
    checks.equal("a left drag of 50x30 moves the window by 50x30", gadget.wait_position(moved), moved)
    gadget.origin = gadget.position()
    # The move must end with the button: the window stays put afterwards.
    desktop.xdotool("mousemove", gadget.origin[0] + 150, gadget.origin[1] + 150)
    time.sleep(SETTLE)
    checks.equal("the move ends when the button comes up", gadget.position(), moved)
    desktop.drag(gadget.screen(PICTURE_POINT), (-50, -30))
    checks.equal("a drag back puts it back", gadget.wait_position(start), start)
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
    popup = gadget.popup(3.0)
    if not checks.check("a right click on the picture opens a pop-up menu", popup):
        return
    pointer = gadget.screen(PICTURE_POINT)
    checks.equal("the menu opens at the pointer", (popup["x"], popup["y"]), pointer)
    desktop.xdotool("key", "Escape")
    checks.check("Escape closes the menu", wait_until(lambda: not gadget.app.popups(), 3))
    desktop.xdotool("mousemove", pointer[0] + 40, pointer[1] + 25)
    time.sleep(SETTLE)
    checks.equal("the right press did not start a move", gadget.position(), start)
    checks.check("the window looks as before", same_outside_labels(gadget.shot(), baseline))


def check_about(checks, desktop, gadget, baseline):
    start = gadget.position()
    if not checks.check("menu: Down, Return", gadget.menu_pick(["Down", "Return"])):
        return
    boxes = wait_until(gadget.message_boxes, 5, 0.2) or []
    checks.equal("About opens one message box titled 'About...'", [b["text"] for b in boxes],
                 ["About..."])
    controls = boxes[0]["children"] if boxes else []
    checks.equal("its text is the five lines",
                 [c["text"] for c in controls if c["class"] == "Static" and c["text"]], [ABOUT_TEXT])
    checks.equal("its one button is OK", [c["text"] for c in controls if c["class"] == "Button"],
                 ["OK"])

    dialogs = [w for w in gadget.app.desktop.visible_windows_of(gadget.app.pid)
               if w["id"] != gadget.id and not w["override_redirect"]]
    if not checks.equal("the message box is one more window", len(dialogs), 1):
        return
    desktop.xdotool("windowactivate", "--sync", dialogs[0]["id"])
    desktop.xdotool("key", "Return")
    checks.check("Return closes the message box",
                 wait_until(lambda: not gadget.message_boxes(), 5, 0.2))
    def visible():
        return [w["id"] for w in desktop.visible_windows_of(gadget.app.pid)]
    checks.check("the gadget is all that stays visible",
                 wait_until(lambda: visible() == [gadget.id], 3), visible())
    checks.equal("the gadget has not moved", gadget.position(), start)
    checks.check("the gadget looks as before",
                 wait_until(lambda: same_outside_labels(gadget.shot(), baseline), 3))


def check_exit(checks, gadget):
    if not checks.check("menu: Up, Return", gadget.menu_pick(["Up", "Return"])):
        return
    try:
        status = gadget.app.process.wait(5.0)
    except subprocess.TimeoutExpired:
        status = None
    checks.equal("Exit ends the process with status 0", status, 0)


def main(checks):
    exe, inspector = (os.path.abspath(p) for p in sys.argv[1:3])
    picture = load_picture()
    prefix = WinePrefix()
    try:
        with Desktop(window_manager=True) as desktop:
            gadget = WineGadget(desktop, prefix, exe, inspector)
            if not checks.check("the window is mapped", gadget.find_window()):
                return
            check_start(checks, gadget)
            check_shape(checks, desktop, gadget, picture)
            baseline = gadget.shot()
            check_hole(checks, desktop, gadget, picture)
            check_drag(checks, desktop, gadget)
            check_labels_inert(checks, desktop, gadget)
            check_menu_no_move(checks, desktop, gadget, baseline)
            check_about(checks, desktop, gadget, baseline)
            check_exit(checks, gadget)
            gadget.app.stop()
    finally:
        prefix.wait_idle()
        prefix.close()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    run_test(main)
