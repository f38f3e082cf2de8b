#!/usr/bin/python3
"""Dragging and closing on every kind of X11 desktop: with no window manager,
under twm (a classic manager without the standard interactive move) and
under openbox (which has it).  In each, a left drag moves the gadget by
exactly the pointer's motion and a right press with motion does not move
it; afterwards the menu still opens, About opens and closes, and Exit ends
the program with status 0.  In a second start the desktop's close
(WM_DELETE_WINDOW) ends it with status 0 within a second.

Usage: test_window_managers.py PATH_TO_TALLOWIND
"""

import os
import sys

from desktop import Desktop, run_test
from gadget_checks import (check_about, check_desktop_close, check_exit,
                           check_right_press_with_motion, drag_away)
from test_gadget import start

WINDOW_MANAGERS = (None, "twm", "openbox")


def check_desktop(checks, program, window_manager):
    with Desktop(window_manager=window_manager, accessibility=True) as desktop:
        gadget = start(checks, desktop, program)
        if gadget:
            drag_away(checks, desktop, gadget)
            check_right_press_with_motion(checks, desktop, gadget)
            check_about(checks, desktop, gadget, gadget.shot())
            check_exit(checks, gadget, "Exit ends the program with status 0")
            gadget.app.stop()
        again = start(checks, desktop, program, "a second start maps the window")
        if again:
            check_desktop_close(checks, desktop, again.app, {"id": again.id}, 1.0)
            again.app.stop()


def main(checks):
    program = os.path.abspath(sys.argv[1])
    for window_manager in WINDOW_MANAGERS:
        checks.prefix = "%s: " % (window_manager or "no window manager")
        check_desktop(checks, program, window_manager)


if __name__ == "__main__":
    run_test(main)
