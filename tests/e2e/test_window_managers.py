#!/usr/bin/python3
"""Dragging and closing on every kind of X11 desktop: with no window manager,
under twm (a classic manager without the standard interactive move), under
openbox (which has it) and under the big desktops' compositing managers
(xfwm4, mutter, KWin).  In each, the gadget's start changes no pixel of its
cut-out or of a ring around it (no shadow, no halo), its window asks for no
taskbar or pager entry, a left drag moves it by exactly the pointer's motion
and a right press with motion does not move it; a click as quick as a
touchpad tap followed by a plain motion leaves it where it was and leaves no
pointer grab behind; afterwards the menu still opens, About opens and
closes, and Exit ends the program with status 0.  In a second start, after
another quick click, the desktop's close (Alt+F4 where the manager has it,
else WM_DELETE_WINDOW) ends it with status 0 within a second.

Usage: test_window_managers.py PATH_TO_TALLOWIND [MANAGER...]
(MANAGER: none, twm, openbox, xfwm4, mutter or kwin_x11; all by default)
"""

import os
import subprocess
import sys
import time

from desktop import LABEL_RECTS, WHITE, Desktop, inside_rect, load_picture, run_test, wait_until
from gadget_checks import (FEW_LEVELS, PICTURE_POINT, check_about, check_desktop_close, check_exit,
                           check_nothing_happens, check_right_press_with_motion, drag_away, moved_from,
                           same_image)
from test_gadget import start

WINDOW_MANAGERS = (None, "twm", "openbox", "xfwm4", "mutter", "kwin_x11")
RING = 20  # px around the window where no shadow may fall


def halo(before, after, origin, picture):
    """The pixels of the cut-out and of the ring around the window at origin
    that changed by more than a few levels between the two screenshots of the
    whole screen; returns (how many, the largest change)."""
    changed, largest = 0, 0
    pb, pa, pp = before.load(), after.load(), picture.load()
    w, h = picture.size
    for y in range(max(0, origin[1] - RING), min(before.size[1], origin[1] + h + RING)):
        for x in range(max(0, origin[0] - RING), min(before.size[0], origin[0] + w + RING)):
            px, py = x - origin[0], y - origin[1]
            inside = 0 <= px < w and 0 <= py < h
            if inside and (pp[px, py] != WHITE or any(inside_rect(px, py, r) for r in LABEL_RECTS.values())):
                continue
            change = max(abs(a - b) for a, b in zip(pa[x, y], pb[x, y]))
            largest = max(largest, change)
            changed += change > FEW_LEVELS
    return changed, largest


def settled_screenshot(desktop):
    """The screen once it has not changed for a second: a compositor fades
    windows in, and may paint its background a while after it starts."""
    shots = [desktop.screenshot()]

    def settled():
        time.sleep(0.25)
        shots.append(desktop.screenshot())
        return len(shots) > 4 and all(same_image(shots[-5], shot) for shot in shots[-4:])
    wait_until(settled, 8, 0)
    return shots[-1]


def check_no_halo(checks, desktop, gadget, before, picture):
    changed, largest = halo(before, settled_screenshot(desktop), gadget.origin, picture)
    checks.check("the start changes no pixel of the cut-out or of a %d px ring around it" % RING,
                 changed == 0, "%d pixels changed, by up to %d levels" % (changed, largest))


def check_no_taskbar_entry(checks, desktop, gadget):
    state = desktop.atom_names(gadget.id, "_NET_WM_STATE")
    checks.check("_NET_WM_STATE asks for no taskbar and no pager entry",
                 {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"} <= set(state), state)


def quick_click(checks, desktop, gadget):
    """Press and release 12 ms apart on the picture, then a plain motion.
    A manager may hold the pointer for a moment while it takes the click
    (xfwm4 does, to focus the window): no grab may outlast that."""
    x, y = gadget.screen(PICTURE_POINT)
    desktop.xdotool("mousemove", x, y, "click", 1)
    desktop.xdotool("mousemove", x + 40, y + 25)
    check_nothing_happens(
        checks, desktop, gadget, [("a quick click and a plain motion leave the window where it was",
                                   moved_from(gadget))],
        [("a quick click leaves no grab: another client can grab the pointer", desktop.pointer_grab_free)])


def check_close(checks, desktop, gadget):
    quick_click(checks, desktop, gadget)
    if not desktop.extended_hints:
        check_desktop_close(checks, desktop, gadget.app, {"id": gadget.id}, 1.0)
        return
    desktop.xdotool("windowactivate", gadget.id)
    wait_until(lambda: desktop.active_window() == gadget.id, gadget.wait)
    desktop.xdotool("key", "alt+F4")
    try:
        status = gadget.app.process.wait(1.0)
    except subprocess.TimeoutExpired:
        status = None
    checks.equal("Alt+F4 after it ends the program with status 0", status, 0)


def check_desktop(checks, program, window_manager, picture):
    with Desktop(window_manager=window_manager, accessibility=True) as desktop:
        before = settled_screenshot(desktop)
        gadget = start(checks, desktop, program)
        if gadget:
            if window_manager == "twm":
                checks.skip("no halo", "twm draws a title bar over frameless windows")
            else:
                check_no_halo(checks, desktop, gadget, before, picture)
            check_no_taskbar_entry(checks, desktop, gadget)
            drag_away(checks, desktop, gadget)
            check_right_press_with_motion(checks, desktop, gadget)
            quick_click(checks, desktop, gadget)
            check_about(checks, desktop, gadget, gadget.shot())
            check_exit(checks, gadget, "Exit ends the program with status 0")
            gadget.app.stop()
        again = start(checks, desktop, program, "a second start maps the window")
        if again:
            check_close(checks, desktop, again)
            again.app.stop()


def main(checks):
    program = os.path.abspath(sys.argv[1])
    picture = load_picture()
    managers = [m for m in WINDOW_MANAGERS if len(sys.argv) < 3 or (m or "none") in sys.argv[2:]]
    for window_manager in managers:
        checks.prefix = "%s: " % (window_manager or "no window manager")
        check_desktop(checks, program, window_manager, picture)


if __name__ == "__main__":
    run_test(main)
