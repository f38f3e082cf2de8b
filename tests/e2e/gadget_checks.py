"""The gadget's behaviour checks that the Linux end-to-end test and the Wine
one share: the shape, the hole, dragging, the inert labels, the pop-up menu,
the About box and Exit.  What differs between the two platforms (how long
things take, how a message box is read, how a screenshot is compared) is
said by the platform's Gadget subclass; checks only one platform has stay in
its own script.
"""

import subprocess

from desktop import (EXACT_DRAG, FACE_LIMITS, LABEL_RECTS, SCREEN_H, SCREEN_W, compare_shaped, deepest_pixel,
                     describe_mismatches, drawn_face, enclosed_white_pixels, face_difference,
                     scale_picture, scale_point, scale_rect, wait_reading, wait_until, window_size)

CATCHER_COLOUR = "#ff00ff"
ABOUT_LINES = [
    "Tallowind was designed by Orlevask.",
    "Share it with others.",
    "I got this idea from the MacOS X",
    "For any more informations, visit our website: ",
    "https://tallowind.example/",
]
# Window coordinates on the ball, away from its edge and from the labels;
# the second is where the positive control's drag starts, away from the first.
PICTURE_POINT = (90, 70)
CONTROL_POINT = (110, 60)
LABEL_POINTS = {name: (x + w // 2, y + h // 2) for name, (x, y, w, h) in LABEL_RECTS.items()}


# What a compositing manager's repaint may change in its own background
# (mutter dithers it), no more.
FEW_LEVELS = 3


def same_image(a, b, levels=0):
    """Equal pixel for pixel, each colour within `levels`."""
    if a.size != b.size:
        return False
    if not levels:
        return a.tobytes() == b.tobytes()
    from PIL import ImageChops
    return max(high for _, high in ImageChops.difference(a, b).getextrema()) <= levels


class Gadget:
    """The program's window as the checks drive it.  A subclass adds
    message_boxes() (the open ones) and read_message_boxes(boxes) (their
    titles, texts and button names), and may change the timings below."""

    settle = 0.6  # how long "nothing happens" is watched for
    wait = 2.0  # for a menu, a move or a repaint to show
    poll = 0.1
    press_wait = 0.5  # for a click to reach the window below
    shape_wait = 10  # a first frame can take seconds on a machine busy with builds
    unmap_wait = 0  # for a closed message box to leave the screen
    exit_wait = 1.0
    newline = "\n"  # between the lines of the About text

    def __init__(self, desktop, app, window=None):
        self.desktop = desktop
        self.app = app
        self.scale = desktop.scale
        self.size = window_size(self.scale)
        self.id = None
        self.origin = None
        if window:
            self.place(window)

    def place(self, window):
        self.id = window["id"]
        self.origin = (window["x"], window["y"])

    def position(self):
        return self.app.position(self.id)

    def screen(self, point):
        """Where a point of the picture is on the screen."""
        x, y = scale_point(point, self.scale)
        return (self.origin[0] + x, self.origin[1] + y)

    def shot(self):
        x, y = self.position()
        return self.desktop.screenshot(x, y, *self.size)

    def settled_shot(self):
        """The window's picture once two shots in a row agree: a compositor
        may still be drawing a move just made."""
        shots = [self.shot()]

        def settled():
            shots.append(self.shot())
            return same_image(shots[-2], shots[-1])
        wait_until(settled, self.wait, self.poll)
        return shots[-1]

    def looks_like(self, baseline):
        return same_image(self.shot(), baseline, FEW_LEVELS if self.desktop.composites else 0)

    def wait_position(self, expected, timeout=None):
        wait_until(lambda: self.position() == expected, timeout or self.wait)
        return self.position()

    def popup(self, timeout):
        found = wait_until(self.app.popups, timeout)
        return found[0] if found else None

    def right_click(self, point):
        x, y = self.screen(point)
        self.desktop.xdotool("mousemove", x, y, "click", 3)

    def menu_pick(self, keys):
        """Opens the menu on the picture and picks an item with the keyboard
        (["Down", "Return"] the first, ["Up", "Return"] the last)."""
        self.right_click(PICTURE_POINT)
        if self.popup(self.wait) is None:
            return False
        self.desktop.xdotool("key", *keys)
        return True

    def not_ours(self, wrong):
        """Of the shape's mismatches, those shown to be the system's fault,
        with the reason; none where the system is trusted."""
        return [], ""

    def close_menu(self):
        self.desktop.xdotool("key", "Escape")
        return wait_until(lambda: not self.app.popups(), self.wait)


def check_shape(checks, desktop, gadget, picture):
    """Every device pixel of a drawn picture pixel shows the window, every
    one of a white picture pixel shows the desktop (at any display scale);
    at 100 % the window shows the picture itself, above it a drawing made
    for the scale, which check_face compares."""
    wrong, excused = [], [[], ""]
    scaled = scale_picture(picture, gadget.scale)
    labels = [scale_rect(r, gadget.scale) for r in LABEL_RECTS.values()]
    if gadget.scale != 1:
        labels = [(0, 0) + gadget.size]

    def matches():
        wrong[:] = compare_shaped(gadget.shot(), scaled, desktop.backdrop, loose=labels)
        excused[:] = gadget.not_ours(wrong) if wrong else ([], "")
        return len(excused[0]) == len(wrong)
    wait_until(matches, gadget.shape_wait, gadget.poll)
    name = "the window is cut to the picture's outline"
    faults, reason = excused
    if faults:
        checks.known(name, "%s: %s" % (reason, describe_mismatches(faults)))
    theirs = set(faults)
    ours = [m for m in wrong if m not in theirs]
    checks.check(name, not ours, describe_mismatches(ours))


def check_face(checks, gadget, picture, cache_dir, figures):
    """The ornament as shown is close to the face drawn directly at the
    scale; `figures` collects the difference per scale for face_table."""
    face = drawn_face(gadget.scale, cache_dir)
    figure = face_difference(gadget.shot(), picture, face, gadget.scale)
    figures[gadget.scale] = figure
    limit = FACE_LIMITS[gadget.scale]
    checks.check("the ornament is within %.1f levels of the face drawn at this scale" % limit,
                 figure <= limit, "%.2f levels" % figure)


def face_table(figures):
    rows = ["%5d %%   %5.2f   %5.1f" % (round(s * 100), f, FACE_LIMITS[s]) for s, f in sorted(figures.items())]
    return "\n".join(["scale    diff    limit  (mean absolute difference per channel, levels)"] + rows)


def check_hole_clicks(checks, desktop, gadget, picture, buttons, afterwards):
    """Clicks with each of `buttons` ((number, name) pairs) in the picture's
    hole must reach the window below; afterwards() holds the caller's own
    checks, made while that window is still there."""
    holes = enclosed_white_pixels(picture)
    if not checks.check("the picture has a hole inside its outline", holes):
        return
    hole = deepest_pixel(holes)
    x, y = gadget.origin
    catcher = desktop.make_catcher(x - 20, y - 20, gadget.size[0] + 40, gadget.size[1] + 40, CATCHER_COLOUR,
                                   gadget.id)
    try:
        hx, hy = gadget.screen(hole)
        desktop.xdotool("mousemove", hx, hy)
        checks.equal("over the hole %r the pointer is on the window below" % (hole,),
                     desktop.pointer_window(), catcher.id)
        for button, what in buttons:
            desktop.xdotool("click", button)
            checks.equal("a %s click in the hole reaches the window below" % what,
                         catcher.presses(gadget.press_wait), [button])
        # Each press reached the window below, never the program: that is
        # the positive control of what afterwards() finds did not happen.
        afterwards()
    finally:
        catcher.destroy()


def drag_away(checks, desktop, gadget, hint=""):
    """A left drag of 50x30 from the picture; returns where the window was
    and where it must be now."""
    start = gadget.position()
    moved = (start[0] + 50, start[1] + 30)
    desktop.drag(gadget.screen(PICTURE_POINT), (50, 30), until=lambda: gadget.position() == moved)
    checks.check("a left drag of 50x30 moves the window by 50x30", gadget.wait_position(moved) == moved,
                 "got %r, expected %r%s" % (gadget.position(), moved, hint))
    gadget.origin = gadget.position()
    return start, moved


def drag_back(checks, desktop, gadget, start):
    desktop.drag(gadget.screen(PICTURE_POINT), (-50, -30), until=lambda: gadget.position() == start)
    checks.equal("a drag back puts it back", gadget.wait_position(start), start)
    gadget.origin = gadget.position()


def check_labels_inert(checks, desktop, gadget):
    for name, point in LABEL_POINTS.items():
        gadget.right_click(point)
        check_nothing_happens(checks, desktop, gadget, [("a right press inside %s opens no menu" % name,
                                                         gadget.app.popups)])
        moved = moved_from(gadget)
        desktop.drag(gadget.screen(point), (50, 30), until=moved, timeout=gadget.settle)
        check_nothing_happens(checks, desktop, gadget,
                              [("a left drag from inside %s does not move the window" % name, moved)])


def check_menu_no_move(checks, desktop, gadget, baseline):
    start = gadget.position()
    gadget.right_click(PICTURE_POINT)
    popup = gadget.popup(gadget.wait)
    if not checks.check("a right click on the picture opens a pop-up menu", popup):
        return
    pointer = gadget.screen(PICTURE_POINT)
    checks.equal("the menu opens at the pointer", (popup["x"], popup["y"]), pointer)
    checks.check("Escape closes the menu", gadget.close_menu())
    # A move begun by the right press would follow the pointer now.
    desktop.xdotool("mousemove", pointer[0] + 40, pointer[1] + 25)
    check_nothing_happens(checks, desktop, gadget,
                          [("the right press did not start a move", lambda: gadget.position() != start)])
    checks.check("the window looks as before", gadget.looks_like(baseline))


def check_about(checks, desktop, gadget, baseline):
    start = gadget.position()
    if not checks.check("menu: Down, Return", gadget.menu_pick(["Down", "Return"])):
        return
    boxes = wait_until(gadget.message_boxes, 5, gadget.poll) or []
    titles, texts, buttons = gadget.read_message_boxes(boxes)
    checks.equal("About opens one message box titled 'About...'", titles, ["About..."])
    checks.equal("its text is the five lines", texts, [gadget.newline.join(ABOUT_LINES)])
    checks.equal("its one button is OK", buttons, ["OK"])

    dialogs = [w for w in desktop.visible_windows_of(gadget.app.pid)
               if w["id"] != gadget.id and not w["override_redirect"]]
    if not checks.equal("the message box is one more window", len(dialogs), 1):
        return
    desktop.focus(dialogs[0]["id"])
    desktop.xdotool("key", "Return")
    checks.check("Return closes the message box",
                 wait_until(lambda: not gadget.message_boxes(), 5, gadget.poll))
    visible = wait_reading(lambda: [w["id"] for w in desktop.visible_windows_of(gadget.app.pid)],
                           lambda ids: ids == [gadget.id], gadget.unmap_wait)
    checks.equal("the gadget is all that stays visible", visible, [gadget.id])
    checks.equal("the gadget has not moved", gadget.position(), start)
    checks.check("the gadget looks as before",
                 wait_until(lambda: gadget.looks_like(baseline), gadget.wait))


def about_box_placement(checks, desktop, gadget):
    """Opens About after a menu closed with Escape (as a user may), reads
    where the box stands and closes it.  Returns (x, y) of its client area's
    centre less the gadget's centre, and its frame's (left, top, right,
    bottom); None if it did not open."""
    gadget.right_click(PICTURE_POINT)
    if gadget.popup(gadget.wait) is not None:
        gadget.close_menu()
    if not gadget.menu_pick(["Down", "Return"]):
        return None
    found = wait_until(lambda: [w for w in desktop.visible_windows_of(gadget.app.pid)
                                if w["id"] != gadget.id and not w["override_redirect"]], 5, gadget.poll)
    if not found:
        return None
    box = found[0]
    x, y = gadget.position()
    offset = (box["x"] + box["width"] / 2 - x - gadget.size[0] / 2,
              box["y"] + box["height"] / 2 - y - gadget.size[1] / 2)
    frame = desktop.frame_of(box["id"])
    desktop.focus(box["id"])
    desktop.xdotool("key", "Return")
    wait_until(lambda: len(desktop.visible_windows_of(gadget.app.pid)) == 1, 5, gadget.poll)
    return offset, frame


def check_about_over_gadget(checks, desktop, gadget, label):
    placement = about_box_placement(checks, desktop, gadget)
    if not checks.check("%s: About opens after a menu closed with Escape" % label, placement):
        return
    offset, frame = placement
    checks.check("%s: the About box is centred over the gadget" % label,
                 max(abs(offset[0]), abs(offset[1])) <= 2, "off by %r" % (offset,))
    checks.check("%s: the About box lies wholly on the screen" % label, on_screen(frame), frame)


def check_about_in_corners(checks, desktop, gadget):
    """In a corner of the screen the About box moves inside it, its frame
    (the title bar too) wholly on the screen."""
    for name, corner in (("top left", (0, 0)),
                         ("bottom right", (SCREEN_W - gadget.size[0], SCREEN_H - gadget.size[1]))):
        desktop.xdotool("windowmove", "--sync", gadget.id, *corner)
        if not checks.equal("the gadget moves to the %s corner" % name, gadget.wait_position(corner), corner):
            continue
        gadget.origin = corner
        placement = about_box_placement(checks, desktop, gadget)
        checks.check("in the %s corner the About box lies wholly on the screen" % name,
                     placement and on_screen(placement[1]), placement)


def on_screen(frame):
    left, top, right, bottom = frame
    return left >= 0 and top >= 0 and right <= SCREEN_W and bottom <= SCREEN_H


def check_right_press_with_motion(checks, desktop, gadget):
    """A right press that moves before it is released opens the menu and
    never moves the window.  It moves up and left, away from the menu, which
    would otherwise pick the item under the pointer on release."""
    moved = moved_from(gadget)
    desktop.drag(gadget.screen(PICTURE_POINT), (-40, -25), button=3, until=moved, timeout=gadget.settle)
    check_nothing_happens(checks, desktop, gadget, [("a right press with motion does not move the window", moved)])


def moved_from(gadget):
    """Whether the window has left where it is now."""
    start = gadget.position()
    return lambda: gadget.position() != start


def short_of(moved, motion):
    """A move the way of its motion and no further than it (a pixel over for
    rounding): what a manager that starts its move late leaves of a drag;
    how much it leaves depends on how soon it starts."""
    return any(moved) and all(0 <= m * (1 if w >= 0 else -1) <= abs(w) + 1 for m, w in zip(moved, motion))


def check_landing(checks, desktop, name, got, expected, moved=None, motion=None):
    """Where drags landed: exactly where expected, or, under a manager known
    to start its move from the pointer as it finds it (the row's
    EXACT_DRAG), each drag's move (moved, else got) short of its motion
    (motion, else expected), which is said with the reason and the figures."""
    why = desktop.manager.ignores.get(EXACT_DRAG) if desktop.manager else None
    moves, wanted = (moved, motion) if moved is not None else ([got], [expected])
    if got != expected and why and got is not None and all(short_of(m, w) for m, w in zip(moves, wanted)):
        checks.known(name, "%s: got %r, expected %r" % (why, got, expected))
        return True
    return checks.check(name, got == expected, "got %r, expected %r" % (got, expected))


def check_nothing_happens(checks, desktop, gadget, watched, settled=()):
    """Checks that things did not happen: watched holds (name, happened)
    pairs, happened() true once the thing shows, all watched for
    gadget.settle and ending early when one shows; settled holds (name,
    holds) pairs for what must hold once things settle, each waited for up
    to gadget.wait. A slow machine may not even have handed the program its
    input by then, so a positive control follows after the same wait: a
    left drag of the picture, sent after it, must move the window by exactly
    its motion. The program and the window manager had then taken in all
    that came before; a move begun by it would have put the window
    elsewhere, and a grab or a menu left behind would have taken the drag."""
    seen = wait_reading(lambda: [name for name, happened in watched if happened()], bool,
                        gadget.settle, gadget.poll)
    for name, _ in watched:
        checks.check(name, name not in seen)
    for name, holds in settled:
        checks.check(name, wait_until(holds, gadget.wait, gadget.poll))
    if gadget.app.popups():
        gadget.close_menu()
    start = gadget.position()
    gadget.origin = start
    # Towards the middle of the screen, so that repeated controls stay on it.
    middle = ((SCREEN_W - gadget.size[0]) // 2, (SCREEN_H - gadget.size[1]) // 2)
    delta = (50 if start[0] <= middle[0] else -50, 30 if start[1] <= middle[1] else -30)
    moved = (start[0] + delta[0], start[1] + delta[1])
    desktop.drag(gadget.screen(CONTROL_POINT), delta, until=lambda: gadget.position() == moved)
    landed = gadget.wait_position(moved)
    check_landing(checks, desktop, "then a left drag moves the window by exactly its motion", landed, moved,
                  [(landed[0] - start[0], landed[1] - start[1])] if landed else None, [delta])
    gadget.origin = gadget.position()


def check_desktop_close(checks, desktop, app, window, wait):
    """The desktop's close (a window manager's close button, Alt+F4) is
    WM_DELETE_WINDOW to the window: the program ends at once, with status 0."""
    desktop.close_window(window["id"])
    try:
        status = app.process.wait(wait)
    except subprocess.TimeoutExpired:
        status = None
    checks.equal("the desktop's close ends the program with status 0", status, 0)


def check_person_using_it(checks, desktop, gadget, picture, check_hole, check_drag, exit_name):
    """The gadget as a person uses it, in this order: its shape, the hole
    (check_hole(checks, desktop, gadget, picture)), a drag (check_drag(checks,
    desktop, gadget)), the inert labels, the menu, About and Exit."""
    check_shape(checks, desktop, gadget, picture)
    baseline = gadget.shot()
    check_hole(checks, desktop, gadget, picture)
    check_drag(checks, desktop, gadget)
    check_labels_inert(checks, desktop, gadget)
    check_menu_no_move(checks, desktop, gadget, baseline)
    check_about(checks, desktop, gadget, baseline)
    check_exit(checks, gadget, exit_name)


def check_exit(checks, gadget, name):
    if not checks.check("menu: Up, Return", gadget.menu_pick(["Up", "Return"])):
        return
    try:
        status = gadget.app.process.wait(gadget.exit_wait)
    except subprocess.TimeoutExpired:
        status = None
    checks.equal(name, status, 0)


