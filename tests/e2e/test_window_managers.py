"""Dragging and closing on every kind of X11 desktop: with no window manager,
under twm (a classic manager without the standard interactive move), under
openbox (which has it) and under the big desktops' compositing managers
(xfwm4, mutter, KWin).  In each, the gadget's start changes no pixel of its
cut-out or of a ring around it (no shadow, no halo), its window asks for no
taskbar or pager entry, a frame round it shows its outline and no more
where it holds it, a left drag moves it by exactly the pointer's motion
and a right press with motion does not move it; a click as quick as a
touchpad tap followed by a plain motion leaves it where it was and leaves no
pointer grab behind; afterwards the menu still opens, About opens and
closes, and Exit ends the program with status 0.  In a second start, after
another quick click, the desktop's close (Alt+F4 where the manager has it,
else WM_DELETE_WINDOW) ends it with status 0 within a second.

Under the light and tiling managers a Debian user may run instead (i3,
awesome, fluxbox, IceWM, JWM, fvwm, Window Maker, bspwm, dwm, xmonad,
herbstluftwm, spectrwm, marco with and without its compositor, picom beside
openbox) the gadget starts once: it opens centred to the pixel where the
manager leaves the placement to it, three drags there and back each land
exactly, a quick click leaves it where it was, a frame round it shows its
outline where it holds it, clicks in its hole reach the window just below it,
it asks for no taskbar entry (where the manager honours that;
the reason is printed where not), and the manager's close ends it with
status 0.  Everywhere, three round trips of the drag land exactly.

Usage: test_window_managers.py PATH_TO_TALLOWIND [MANAGER...]
(MANAGER: none or a name of WINDOW_MANAGERS or ONCE below; all by default)
"""

import os
import subprocess
import sys
import time

from desktop import (CENTRED, LABEL_RECTS, NO_DECORATION, SKIP_PAGER, SKIP_TASKBAR, WHITE, Desktop, inside_rect,
                     load_picture, pixels_of, run_test, wait_reading, wait_until)
from gadget_checks import (FEW_LEVELS, PICTURE_POINT, check_about, check_exit, check_hole_clicks, check_landing,
                           check_nothing_happens, check_right_press_with_motion, drag_away, moved_from, same_image)
from test_gadget import start

WINDOW_MANAGERS = (None, "twm", "openbox", "xfwm4", "mutter", "kwin_x11")
# Started once each, for what differs between managers: placement, drags,
# clicks, the cut-out and the close.
ONCE = ("i3", "awesome", "fluxbox", "icewm", "jwm", "fvwm", "wmaker", "bspwm", "dwm", "xmonad",
        "herbstluftwm", "spectrwm", "marco", "marco-composite", "openbox-picom")
ROUND_TRIPS = 3
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
    ignored = desktop.manager.ignores.get(NO_DECORATION) if desktop.manager else None
    if ignored:
        checks.skip("no halo", ignored)
        return
    # Where it is now: a manager may move its frame after the window first shows.
    changed, largest = halo(before, settled_screenshot(desktop), gadget.position(), picture)
    checks.check("the start changes no pixel of the cut-out or of a %d px ring around it" % RING,
                 changed == 0, "%d pixels changed, by up to %d levels" % (changed, largest))


def clipped(rects, box):
    """(left, top, right, bottom) rectangles cut to a box of the same kind."""
    cut = [(max(r[0], box[0]), max(r[1], box[1]), min(r[2], box[2]), min(r[3], box[3])) for r in rects]
    return [r for r in cut if r[0] < r[2] and r[1] < r[3]]


def check_frame_shows_outline(checks, desktop, gadget):
    """Where the window stands in its manager's frame, what shows and takes
    clicks is the frame's bounding shape (clipped to the frame: a border
    outside it is the manager's, as a title bar beside the window is): it
    must be the window's own outline there, or the frame shows its own
    background in the cut-out and takes its clicks."""
    name = "the frame shows the window's outline where it holds the window, no more"
    frame = desktop.top_level(gadget.id)
    if frame == gadget.id:
        checks.skip(name, "the manager puts no frame round the window")
        return
    w, h = gadget.size

    def differences():
        outline = desktop.shape_of(gadget.id)
        if len(outline) < 2:
            return None  # not cut yet: the outline is never one rectangle
        geometry = desktop.x.create_resource_object("window", frame).get_geometry()
        x, y = desktop.place_in(gadget.id, frame)
        place = clipped([(x, y, x + w, y + h)], (0, 0, geometry.width, geometry.height))
        shown = pixels_of(clipped(desktop.shape_of(frame), place[0])) if place else set()
        wanted = {(x + px, y + py) for px, py in pixels_of(clipped(outline, (0, 0, w, h)))}
        return sorted(shown - wanted), sorted(wanted - shown)
    found = wait_reading(differences, lambda d: d == ([], []), gadget.wait)
    extra, missing = found or (["the window is not cut to its outline"], [])
    checks.check(name, found == ([], []), "%d pixels shown outside the outline (%s), %d of it not shown (%s)" %
                 (len(extra), extra[:3], len(missing), missing[:3]))


def check_no_taskbar_entry(checks, desktop, gadget):
    ignores = desktop.manager.ignores if desktop.manager else {}
    if SKIP_TASKBAR in ignores:
        checks.skip("no taskbar entry", ignores[SKIP_TASKBAR])
        return
    wanted = {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}
    if SKIP_PAGER in ignores:
        checks.skip("no pager entry", ignores[SKIP_PAGER])
        wanted.remove("_NET_WM_STATE_SKIP_PAGER")
    state = desktop.atom_names(gadget.id, "_NET_WM_STATE")
    checks.check("_NET_WM_STATE asks for no %s entry" % ("taskbar" if len(wanted) == 1 else "taskbar and no pager"),
                 wanted <= set(state), state)


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


def check_round_trips(checks, desktop, gadget):
    """Drags of 50x30 there and back, each waited for; every landing is
    exact, or an error of a pixel per drag adds up."""
    home = gadget.position()
    there = (home[0] + 50, home[1] + 30)
    landed = []
    for _ in range(ROUND_TRIPS):
        for delta, target in (((50, 30), there), ((-50, -30), home)):
            desktop.drag(gadget.screen(PICTURE_POINT), delta, until=lambda: gadget.position() == target)
            landed.append(gadget.wait_position(target))
            gadget.origin = landed[-1]
    print("    from %r the drags land at %r" % (home, landed), flush=True)
    moved = [(b[0] - a[0], b[1] - a[1]) for a, b in zip([home] + landed, landed)]
    check_landing(checks, desktop, "%d drags there and back each land exactly" % ROUND_TRIPS, landed,
                  [there, home] * ROUND_TRIPS, moved, [(50, 30), (-50, -30)] * ROUND_TRIPS)


def close_from_manager(desktop, gadget):
    """What a user of the running manager does to close the window."""
    how = desktop.manager.close if desktop.manager else None
    if how is None:
        desktop.close_window(gadget.id)
    elif how == "_NET_CLOSE_WINDOW":
        desktop.ask_close(gadget.id)
    else:
        x, y = gadget.screen(PICTURE_POINT)
        desktop.xdotool("mousemove", x, y)
        if desktop.extended_hints:
            desktop.xdotool("windowactivate", gadget.id)
            wait_until(lambda: desktop.active_window() == gadget.id, gadget.wait)
        else:
            desktop.xdotool("windowfocus", gadget.id)
            wait_until(lambda: desktop.xdotool("getwindowfocus").strip() == str(gadget.id), gadget.wait)
        desktop.xdotool("key", how)
    return how or "WM_DELETE_WINDOW"


def check_close(checks, desktop, gadget):
    quick_click(checks, desktop, gadget)
    how = close_from_manager(desktop, gadget)
    try:
        status = gadget.app.process.wait(1.0)
    except subprocess.TimeoutExpired:
        status = None
    checks.equal("the manager's close (%s) after it ends the program with status 0" % how, status, 0)


def check_hole(checks, desktop, gadget, picture):
    check_hole_clicks(checks, desktop, gadget, picture, ((1, "left"), (3, "right")),
                      lambda: checks.equal("clicks in the hole do not move the window",
                                           gadget.position(), gadget.origin))


def check_once(checks, program, window_manager, picture):
    with Desktop(window_manager=window_manager, accessibility=True) as desktop:
        before = settled_screenshot(desktop)
        gadget = start(checks, desktop, program)
        if not gadget:
            return
        print("    opens at %r, frame %r" % (gadget.origin, desktop.frame_of(gadget.id)), flush=True)
        checks.equal("it opens centred on the screen, to the pixel", gadget.origin, CENTRED)
        check_no_halo(checks, desktop, gadget, before, picture)
        check_frame_shows_outline(checks, desktop, gadget)
        check_no_taskbar_entry(checks, desktop, gadget)
        check_round_trips(checks, desktop, gadget)
        quick_click(checks, desktop, gadget)
        check_hole(checks, desktop, gadget, picture)
        check_close(checks, desktop, gadget)
        gadget.app.stop()


def check_desktop(checks, program, window_manager, picture):
    with Desktop(window_manager=window_manager, accessibility=True) as desktop:
        before = settled_screenshot(desktop)
        gadget = start(checks, desktop, program)
        if gadget:
            check_no_halo(checks, desktop, gadget, before, picture)
            check_frame_shows_outline(checks, desktop, gadget)
            check_no_taskbar_entry(checks, desktop, gadget)
            drag_away(checks, desktop, gadget)
            check_round_trips(checks, desktop, gadget)
            check_right_press_with_motion(checks, desktop, gadget)
            quick_click(checks, desktop, gadget)
            check_about(checks, desktop, gadget, gadget.settled_shot())
            check_exit(checks, gadget, "Exit ends the program with status 0")
            gadget.app.stop()
        again = start(checks, desktop, program, "a second start maps the window")
        if again:
            check_close(checks, desktop, again)
            again.app.stop()


def main(checks):
    program = os.path.abspath(sys.argv[1])
    picture = load_picture()
    chosen = lambda m: len(sys.argv) < 3 or (m or "none") in sys.argv[2:]
    for window_manager in WINDOW_MANAGERS + ONCE:
        if not chosen(window_manager):
            continue
        checks.prefix = "%s: " % (window_manager or "no window manager")
        (check_desktop if window_manager in WINDOW_MANAGERS else check_once)(checks, program, window_manager,
                                                                             picture)


if __name__ == "__main__":
    run_test(main)
