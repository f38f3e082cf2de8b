#!/usr/bin/python3
"""The gadget dragged to and fro between monitors of 200 % and 100 %, with no
window manager and under openbox: after each drag it is the layout's size at
its monitor's scale, cut to the outline at it, the picture point pressed
under the pointer, rescaled once (the server's ConfigureNotify events tell).
Points held far left of the middle are where a careless rescale falls back.

Usage: test_screen_crossing.py PATH_TO_TALLOWIND
"""

import os
import sys
import time

from desktop import Desktop, edge, load_picture, run_test, wait_until, window_size
from gadget_checks import PICTURE_POINT, check_shape
from test_gadget import start

MONITORS = (("L", 1280, 800, 2), ("R", 1280, 800, 1))
PRESS_POINTS = (PICTURE_POINT, (24, 100), (160, 100))
TARGETS = (("R", 1280 + 420, 1), ("L", 1280 - 520, 2))  # (monitor, pointer x, scale)


def picture_pixel(offset, scale):
    return max([x for x in range(offset + 1) if edge(x, scale) <= offset] or [-1])


def drag_to(desktop, start_point, target_x, step=12):
    x, y = start_point
    desktop.xdotool("mousemove", x, y, "mousedown", 1)
    time.sleep(0.15)  # the press reaches the program before the motion
    for to in list(range(x, target_x, step if target_x > x else -step))[1:] + [target_x]:
        desktop.xdotool("mousemove", to, y)
    desktop.xdotool("mouseup", 1)
    return target_x, y


def check_crossings(checks, desktop, program, picture):
    from Xlib import X, display as xdisplay
    gadget = start(checks, desktop, program, "a %dx%d window is mapped" % window_size(2))
    if not gadget:
        return
    # A connection of our own hears every size the server gives the window.
    x = xdisplay.Display(desktop.display_name)
    x.create_resource_object("window", gadget.id).change_attributes(event_mask=X.StructureNotifyMask)
    x.sync()
    prefix, sizes = checks.prefix, [window_size(2)]
    for trip, point in enumerate(PRESS_POINTS):
        for monitor, target_x, scale in TARGETS:
            checks.prefix = "%sdrag %d to %s, held at %r: " % (prefix, trip + 1, monitor, point)
            mark = len(sizes)
            release = drag_to(desktop, gadget.screen(point), target_x)
            size, seen = window_size(scale), []

            def settled():
                seen.append(next((w for w in desktop.windows_of(gadget.app.pid) if w["id"] == gadget.id), None))
                return len(seen) > 3 and seen[-1] and (seen[-1]["width"], seen[-1]["height"]) == size and \
                    all(s == seen[-1] for s in seen[-4:])
            if not checks.check("the window is %dx%d" % size, wait_until(settled, 5, 0.1), seen[-1:]):
                break
            while x.pending_events():
                event = x.next_event()
                if event.type == X.ConfigureNotify and (event.width, event.height) != sizes[-1]:
                    sizes.append((event.width, event.height))
            checks.equal("it rescaled once", sizes[mark:], [size])
            gadget.place(seen[-1])
            gadget.scale, gadget.size = scale, size
            under = tuple(picture_pixel(release[i] - gadget.origin[i], scale) for i in (0, 1))
            checks.equal("the picture point pressed is under the pointer", under, point)
            check_shape(checks, desktop, gadget, picture)
    checks.prefix = prefix
    x.close()
    gadget.app.stop()


def main(checks):
    for setting, manager in (("own move", None), ("openbox", "openbox")):
        checks.prefix = setting + ": "
        with Desktop(window_manager=manager, accessibility=True, monitors=MONITORS) as desktop:
            check_crossings(checks, desktop, os.path.abspath(sys.argv[1]), load_picture())


if __name__ == "__main__":
    run_test(main)
