#!/usr/bin/python3
"""The gadget dragged between two monitors of different scale on one X
screen (RandR monitors, per-screen factors "L=2;R=1"), with no window
manager (the gadget's own move) and under openbox (the manager's move): after
each drag the window is the layout's size at its monitor's scale, cut to the
outline at that scale, and the picture point pressed is still under the
pointer; the X server's own ConfigureNotify events count the window's
rescales, one per crossing.

Usage: test_screen_crossing.py PATH_TO_TALLOWIND
"""

import os
import sys
import time

from desktop import Desktop, edge, load_picture, run_test, wait_until, window_size
from gadget_checks import PICTURE_POINT, check_shape, check_x_shape
from test_gadget import start

MONITORS = (("L", 1280, 800, 2), ("R", 1280, 800, 1))
# (setting, window manager)
MANAGERS = (("own move", None), ("openbox", "openbox"))
# The picture point pressed on each round trip: near the middle, far left of
# it (where a window resized about its corner, or held under the pointer
# without care, has its centre fall back over the edge) and far right of it.
PRESS_POINTS = (PICTURE_POINT, (24, 100), (160, 100))
# Where each drag takes the pointer: well into the other monitor, so that
# the whole window lands there.
TARGETS = {"R": 1280 + 420, "L": 1280 - 520}
STEP = 12  # pixels per pointer motion, a quick hand's


class SizeWatch:
    """Every size the X server gives the window (its ConfigureNotify events
    on a connection of our own), which the program cannot make up."""

    def __init__(self, desktop, window_id):
        from Xlib import X, display as xdisplay
        self.x = xdisplay.Display(desktop.display_name)
        self.window = self.x.create_resource_object("window", window_id)
        self.window.change_attributes(event_mask=X.StructureNotifyMask)
        self.x.sync()
        self.sizes = [tuple(self._size())]

    def _size(self):
        g = self.window.get_geometry()
        return g.width, g.height

    def read(self):
        from Xlib import X
        while self.x.pending_events():
            event = self.x.next_event()
            if event.type == X.ConfigureNotify and event.window.id == self.window.id:
                size = (event.width, event.height)
                if size != self.sizes[-1]:
                    self.sizes.append(size)
        return self.sizes

    def rescales_since(self, mark):
        return len(self.read()) - 1 - mark

    def close(self):
        self.x.close()


def monitor_at(desktop, x, y):
    for name, left, top, right, bottom, scale in desktop.monitor_rects():
        if left <= x < right and top <= y < bottom:
            return name, scale
    return None, None


def picture_pixel(offset, scale):
    """The picture pixel whose device pixels hold a device offset."""
    x = int(offset / scale)
    while edge(x + 1, scale) <= offset:
        x += 1
    while x > 0 and edge(x, scale) > offset:
        x -= 1
    return x


def pointer(desktop):
    out = desktop.xdotool("getmouselocation", "--shell")
    fields = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(fields["X"]), int(fields["Y"])


def drag_to(desktop, start, target_x):
    x, y = start
    desktop.xdotool("mousemove", x, y)
    desktop.xdotool("mousedown", 1)
    time.sleep(0.15)  # the press reaches the program before the motion starts
    step = STEP if target_x > x else -STEP
    for to in list(range(x + step, target_x, step)) + [target_x]:
        desktop.xdotool("mousemove", to, y)
        time.sleep(0.01)
    time.sleep(0.1)
    desktop.xdotool("mouseup", 1)


def settled(gadget, scale):
    """The window's place once its size is the layout's at the scale and it
    has stopped moving; None if it does not get there."""
    size = window_size(scale)
    seen = []

    def still():
        windows = [w for w in gadget.desktop.visible_windows_of(gadget.app.pid) if w["id"] == gadget.id]
        seen.append(windows[0] if windows else None)
        w = seen[-1]
        return len(seen) > 3 and w is not None and (w["width"], w["height"]) == size and \
            all(s == w for s in seen[-4:])
    if not wait_until(still, 5, 0.1):
        return None
    return seen[-1]


def check_crossings(checks, desktop, program, picture):
    gadget = start(checks, desktop, program, "a %dx%d window is mapped on the 200 %% monitor" % window_size(2))
    if not gadget:
        return
    watch = SizeWatch(desktop, gadget.id)
    prefix = checks.prefix
    try:
        for trip, point in enumerate(PRESS_POINTS):
            for target in ("R", "L"):
                name = "drag %d to %s, held at %r: " % (trip + 1, target, point)
                mark = len(watch.read()) - 1
                press = gadget.screen(point)
                drag_to(desktop, press, TARGETS[target])
                release = pointer(desktop)
                monitor, scale = monitor_at(desktop, *release)
                window = settled(gadget, scale)
                if not checks.check(name + "the window is %dx%d, the layout's size at %s's scale" %
                                    (window_size(scale) + (monitor,)), window,
                                    "sizes seen %r" % watch.read()[mark:]):
                    return
                checks.equal(name + "the window rescaled once", watch.rescales_since(mark), 1)
                gadget.place(window)
                gadget.scale, gadget.size = scale, window_size(scale)
                under = (picture_pixel(release[0] - window["x"], scale), picture_pixel(release[1] - window["y"], scale))
                checks.equal(name + "the picture point pressed is under the pointer", under, point)
                checks.prefix = prefix + name
                check_x_shape(checks, desktop, gadget, picture)
                check_shape(checks, desktop, gadget, picture)
                checks.prefix = prefix
    finally:
        checks.prefix = prefix
        watch.close()
        gadget.app.stop()


def main(checks):
    program = os.path.abspath(sys.argv[1])
    picture = load_picture()
    for setting, manager in MANAGERS:
        checks.prefix = "%s: " % setting
        with Desktop(window_manager=manager, accessibility=True, monitors=MONITORS) as desktop:
            check_crossings(checks, desktop, program, picture)


if __name__ == "__main__":
    run_test(main)
