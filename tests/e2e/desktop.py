"""Desktop test harness for the end-to-end tests of the Linux program.

A private X server (Xvfb) with an optional window manager (openbox) and an
optional accessibility bus, the program under test with a fixed wall clock,
screenshots, pointer and keyboard input, window queries, the accessible tree,
and a tally of named checks.  Every process started here is ended here, by
its own PID, and nothing else is touched.

Run as a script with ``--atspi-dump PID`` it prints the accessible tree of
that process as JSON; the tests call it that way in a child process so that
each reading sees a fresh registry.
"""

import atexit
import ctypes
import hashlib
import json
import math
import os
import select
import signal
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import xvfb  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
PICTURE_PATH = os.path.join(ROOT, "assets", "window.bmp")
GENERATOR_PATH = os.path.join(ROOT, "assets", "generate_assets.py")
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"

SCREEN_W, SCREEN_H = 1024, 768
WINDOW_W, WINDOW_H = 183, 211
WHITE = (255, 255, 255)
# Rectangles in window coordinates: (x, y, width, height).
LABEL_RECTS = {"Label1": (24, 120, 129, 17), "Label2": (40, 136, 105, 41)}


class WindowManager:
    """How one window manager is started and what it is known to do: its
    command line; whether it speaks the extended hints (names itself on the
    root, offers activation); whether it composites (paints its own
    background, so the root colour never shows); programs started beside it
    (a compositor); files the desktop writes for it first, by path under its
    runtime dir ("config/..." is its XDG_CONFIG_HOME, "home/..." its HOME;
    a value "->PATH" makes a symbolic link, one starting "#!" an executable);
    how a user closes a window there (keys, "_NET_CLOSE_WINDOW" as a taskbar
    or pager asks, or None: WM_DELETE_WINDOW, as a close button sends); and
    what it does not honour, by check, with the reason."""

    def __init__(self, argv, extended, composites, beside=(), files=None, close="alt+F4", ignores=None):
        self.argv = argv
        self.extended = extended
        self.composites = composites
        self.beside = beside
        self.files = files or {}
        self.close = close
        self.ignores = ignores or {}


# What a manager leaves out, by check, as WindowManager.ignores names them.
SKIP_TASKBAR = "skip taskbar"
SKIP_PAGER = "skip pager"
NO_DECORATION = "no decoration"
EXACT_DRAG = "exact drag"
STARTS_FROM_POINTER = ("%s starts its move from the pointer as it finds it, not from the point the gadget names, "
                       "so a drag lands short by what the pointer moved while it started")

WINDOW_MANAGERS = {
    "openbox": WindowManager(["openbox", "--sm-disable"], True, False),
    "twm": WindowManager(["twm"], False, False, close=None,
                         ignores={NO_DECORATION: "twm draws a title bar over frameless windows"}),
    "xfwm4": WindowManager(["xfwm4", "--compositor=on"], True, True),
    "mutter": WindowManager(["mutter", "--x11", "--replace", "--sm-disable"], True, True),
    "kwin_x11": WindowManager(["kwin_x11", "--replace"], True, True),
    # Tiling and light managers; each floats the gadget, whose minimum and
    # maximum sizes are equal. i3 without a config of its own runs a wizard.
    "i3": WindowManager(["i3"], True, False, files={"config/i3/config": "# i3 config file (v4)\n"},
                        close="_NET_CLOSE_WINDOW"),
    "awesome": WindowManager(["awesome"], True, False, close="_NET_CLOSE_WINDOW",
                             ignores={SKIP_PAGER: "awesome has no pager: it drops _NET_WM_STATE_SKIP_PAGER",
                                      NO_DECORATION: "awesome draws its 1 px border round the whole window, "
                                                     "outside the outline, and no window setting turns it off"}),
    "fluxbox": WindowManager(["fluxbox"], True, False),
    "icewm": WindowManager(["icewm"], True, False),
    "jwm": WindowManager(["jwm"], True, False),
    "fvwm": WindowManager(["fvwm"], True, False, close="_NET_CLOSE_WINDOW",
                          ignores={NO_DECORATION: "fvwm's default config draws a title bar over frameless windows",
                                   EXACT_DRAG: STARTS_FROM_POINTER % "fvwm"}),
    "wmaker": WindowManager(["wmaker", "--no-dock", "--no-clip"], True, False, close=None,
                            ignores={SKIP_PAGER: "Window Maker has no pager: it drops _NET_WM_STATE_SKIP_PAGER"}),
    # These three put their border on the window itself, not on a frame.
    "bspwm": WindowManager(["bspwm"], True, False, close="_NET_CLOSE_WINDOW",
                           files={"config/bspwm/bspwmrc": "#!/bin/sh\nbspc monitor -d I\n"}),
    "dwm": WindowManager(["dwm"], True, False, close="alt+shift+c"),
    # xmonad 0.17 without a config of its own runs itself under the name
    # its compiled config would have.
    "xmonad": WindowManager(["xmonad"], False, False, close="alt+shift+c",
                            files={"home/.cache/xmonad/xmonad-x86_64-linux": "->/usr/bin/xmonad"},
                            ignores={SKIP_TASKBAR: "xmonad's own config speaks no extended hints"}),
    "herbstluftwm": WindowManager(["herbstluftwm"], True, False, close="_NET_CLOSE_WINDOW",
                                  ignores={SKIP_TASKBAR: "herbstluftwm clears _NET_WM_STATE",
                                           EXACT_DRAG: STARTS_FROM_POINTER % "herbstluftwm"}),
    "spectrwm": WindowManager(["spectrwm"], True, False, close="_NET_CLOSE_WINDOW"),
    "marco": WindowManager(["marco", "--no-composite", "--sm-disable"], True, False),
    "marco-composite": WindowManager(["marco", "--composite", "--sm-disable"], True, True),
    "openbox-picom": WindowManager(["openbox", "--sm-disable"], True, True,
                                   beside=(["picom", "-c", "--backend", "xrender"],)),
}

# What a desktop session starts before its window manager, where the
# release has it, with the D-Bus name it serves: KWin 6 (Debian 13) takes
# its shortcuts, Alt+F4 among them, from Plasma's own daemon, which it
# cannot start itself; KWin 5 (Debian 12) starts its own.
SESSION_DAEMONS = {
    "kwin_x11": [("/usr/lib/x86_64-linux-gnu/libexec/kglobalacceld", "org.kde.kglobalaccel")],
}


# ---------------------------------------------------------------- checks

class Checks:
    """Named pass/fail checks; the closing line is what CTest's log shows."""

    def __init__(self):
        self.passed = 0
        self.failed = 0
        self.skipped = 0
        self.prefix = ""  # names the setting a group of checks runs in

    def check(self, name, ok, detail=""):
        name = self.prefix + name
        ok = bool(ok)
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        line = ("PASS " if ok else "FAIL ") + name
        if detail and not ok:
            line += ": " + str(detail)
        print(line, flush=True)
        return ok

    def equal(self, name, actual, expected):
        return self.check(name, actual == expected, "got %r, expected %r" % (actual, expected))

    def skip(self, name, why):
        self.skipped += 1
        print("SKIP %s: %s" % (name, why), flush=True)

    def known(self, name, why):
        """A fault seen and shown to be another program's (the system's), not ours."""
        print("KNOWN %s%s: %s" % (self.prefix, name, why), flush=True)

    def summary_line(self):
        line = "%d passed, %d failed" % (self.passed, self.failed)
        if self.skipped:
            line += ", %d skipped" % self.skipped
        return line

    def finish(self):
        print(self.summary_line(), flush=True)
        return 0 if self.failed == 0 else 1


def run_test(body):
    """Runs body(checks) and exits with its verdict; a crash of the harness
    itself counts as one failed check so that the closing line is printed."""
    checks = Checks()
    try:
        body(checks)
    except Exception as error:  # noqa: BLE001 - reported, then counted
        import traceback
        traceback.print_exc()
        checks.check("test ran to the end", False, "%s: %s" % (type(error).__name__, error))
    finally:
        stop_all()
    sys.exit(checks.finish())


def wait_until(predicate, timeout, interval=0.05):
    """Polls predicate until it returns something truthy; returns the last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def wait_reading(read, done, timeout, interval=0.05):
    """read()'s value once done(value) holds, or its last one when timeout runs out."""
    values = []

    def check():
        values.append(read())
        return done(values[-1])
    wait_until(check, timeout, interval)
    return values[-1]


def captions_show(expected):
    """Whether captions read from the program hold every label's text in expected."""
    return lambda captions: all(captions.get(name) == text for name, text in expected.items())


# ---------------------------------------------------------------- processes

_started = []  # every Popen started here, oldest first


def _die_with_parent():
    # If the harness is killed outright (a CTest timeout), its children must
    # not outlive it and hold a display.
    try:
        ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except OSError:
        pass


def _listed_programs():
    with open(os.path.join(ROOT, "tests", "programs.txt")) as f:
        return frozenset(line.split()[0] for line in f if line.strip() and not line.startswith("#"))


LISTED_PROGRAMS = _listed_programs()


def _must_be_listed(argv):
    """Only programs of ours (built in this tree, wherever the build is) or
    listed in tests/programs.txt, whose packages the test command checks."""
    program = argv[0]
    ours = os.path.isabs(program) and not program.startswith(("/usr/", "/bin/", "/sbin/", "/lib", "/opt/"))
    if ours or program in LISTED_PROGRAMS:
        return
    raise RuntimeError("%s is not in tests/programs.txt: list it there and its package in "
                       "scripts/install-deps.sh" % program)


def run(argv, **kwargs):
    """subprocess.run for a listed program."""
    _must_be_listed(argv)
    return subprocess.run(argv, **kwargs)


def spawn(argv, env=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
          **kwargs):
    _must_be_listed(argv)
    process = subprocess.Popen(argv, env=env, stdin=stdin, stdout=stdout,
                               stderr=stderr, preexec_fn=_die_with_parent, **kwargs)
    _started.append(process)
    return process


def stop(process, grace=3.0):
    """Ends one process we started and reaps it; returns its exit status."""
    if process.poll() is None:
        try:
            process.terminate()
            process.wait(grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    if process in _started:
        _started.remove(process)
    return process.returncode


def stop_all():
    while _started:
        stop(_started[-1])


def _on_signal(signum, _frame):
    stop_all()
    sys.exit(128 + signum)


atexit.register(stop_all)
signal.signal(signal.SIGTERM, _on_signal)
signal.signal(signal.SIGINT, _on_signal)


# ---------------------------------------------------------------- the picture

def load_picture():
    from PIL import Image
    with Image.open(PICTURE_PATH) as image:
        return image.convert("RGB")


def enclosed_white_pixels(picture):
    """Pure-white pixels that no path of white pixels joins to the border:
    the holes inside the outline (the hanging loop's eye)."""
    w, h = picture.size
    px = picture.load()
    outside = [[False] * w for _ in range(h)]
    stack = [(x, y) for x in range(w) for y in (0, h - 1)] + \
            [(x, y) for y in range(h) for x in (0, w - 1)]
    while stack:
        x, y = stack.pop()
        if not (0 <= x < w and 0 <= y < h) or outside[y][x] or px[x, y] != WHITE:
            continue
        outside[y][x] = True
        stack.extend(((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)))
    return [(x, y) for y in range(h) for x in range(w) if px[x, y] == WHITE and not outside[y][x]]


def deepest_pixel(pixels):
    """The pixel of a set farthest (in steps) from any pixel outside it, so a
    click there is not a near miss on the edge."""
    remaining = set(pixels)
    best = None
    while remaining:
        edge = {p for p in remaining
                if any((p[0] + dx, p[1] + dy) not in remaining
                       for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))}
        best = min(edge)
        remaining -= edge
    return best


# ---------------------------------------------------------------- display scale
# At scale s picture pixel x covers the device columns [edge(x), edge(x + 1)),
# edge(x) = round(x * s) with halves rounded up, as the program maps them.

def edge(x, scale):
    return math.floor(x * scale + 0.5)


def scale_rect(rect, scale):
    x, y, w, h = rect
    return (edge(x, scale), edge(y, scale),
            edge(x + w, scale) - edge(x, scale), edge(y + h, scale) - edge(y, scale))


def scale_point(point, scale):
    """The middle device pixel of a picture pixel."""
    return tuple(edge(v, scale) + (edge(v + 1, scale) - edge(v, scale)) // 2 for v in point)


def window_size(scale):
    return (edge(WINDOW_W, scale), edge(WINDOW_H, scale))


# Display scales both builds are centred at: to the device pixel, the floor
# of half the room, which logical pixels cannot always reach (329 at 200 %).
CENTRING_SCALES = (1, 1.25, 1.5, 2)


def centred(scale=1):
    """Where the window's top left corner stands when it is centred on the screen."""
    w, h = window_size(scale)
    return ((SCREEN_W - w) // 2, (SCREEN_H - h) // 2)


CENTRED = centred()


def scale_picture(picture, scale):
    """The picture as the program draws it at a display scale: nearest
    neighbour through the same mapping, no colour blended."""
    if scale == 1:
        return picture
    from PIL import Image
    w, h = picture.size
    columns = [x for x in range(w) for _ in range(edge(x + 1, scale) - edge(x, scale))]
    rows = [y for y in range(h) for _ in range(edge(y + 1, scale) - edge(y, scale))]
    px = picture.load()
    scaled = Image.new("RGB", (len(columns), len(rows)))
    scaled.putdata([px[x, y] for y in rows for x in columns])
    return scaled


# The most the shown ornament may differ from the face drawn directly at a
# scale: mean absolute difference per colour channel, in levels.
FACE_LIMITS = {1.25: 0.5, 1.5: 3.5, 1.75: 3.5, 2.0: 1.5, 3.0: 3.5}
_canvas = []


def drawn_face(scale, cache_dir):
    """The face as the generator draws it directly at a display scale
    (supersampled, area-averaged); kept in cache_dir under the generator's
    hash, as drawing its canvas takes a while."""
    from PIL import Image
    with open(GENERATOR_PATH, "rb") as f:
        key = hashlib.sha256(f.read()).hexdigest()[:16]
    path = os.path.join(cache_dir, "face-%s-%d.png" % (key, round(scale * 100)))
    if os.path.exists(path):
        with Image.open(path) as image:
            return image.convert("RGB")
    sys.path.insert(0, os.path.dirname(GENERATOR_PATH))
    import generate_assets
    if not _canvas:
        _canvas.append(generate_assets.render_canvas())
    face = generate_assets.draw_at(scale, _canvas[0])
    os.makedirs(cache_dir, exist_ok=True)
    face.save(path + ".part", format="PNG")
    os.replace(path + ".part", path)
    return face


def face_difference(shot, picture, face, scale):
    """Mean absolute difference per colour channel between the ornament in a
    screenshot and the face drawn at its scale, over the device pixels of
    drawn picture pixels outside the two label rectangles."""
    from PIL import Image, ImageChops, ImageDraw, ImageStat
    scaled = scale_picture(picture, scale)
    drawn = Image.new("L", scaled.size)
    drawn.putdata([0 if p == WHITE else 255 for p in scaled.getdata()])
    draw = ImageDraw.Draw(drawn)
    for x, y, w, h in (scale_rect(r, scale) for r in LABEL_RECTS.values()):
        draw.rectangle((x, y, x + w - 1, y + h - 1), fill=0)
    diff = ImageChops.difference(shot.crop((0, 0) + face.size), face)
    return sum(ImageStat.Stat(diff, drawn).mean) / 3


def inside_rect(x, y, rect):
    rx, ry, rw, rh = rect
    return rx <= x < rx + rw and ry <= y < ry + rh


def compare_shaped(shot, picture, backdrop, exclude=(), loose=()):
    """Compares a screenshot of the window's area with the picture as the
    shaped window must show it over a backdrop colour.  Pixels in `exclude`
    rectangles are skipped; in `loose` ones only "not the backdrop where the
    picture is not white" is required (text is drawn there).  Returns a list
    of (x, y, seen, expected) mismatches."""
    pw, ph = picture.size
    sp, pp = shot.load(), picture.load()
    wrong = []
    for y in range(shot.size[1]):
        for x in range(shot.size[0]):
            if any(inside_rect(x, y, r) for r in exclude):
                continue
            seen = sp[x, y]
            inside = x < pw and y < ph
            expected = pp[x, y] if inside and pp[x, y] != WHITE else backdrop
            if any(inside_rect(x, y, r) for r in loose):
                if expected != backdrop and seen == backdrop:
                    wrong.append((x, y, seen, "not the backdrop"))
                elif expected == backdrop and seen != backdrop:
                    wrong.append((x, y, seen, backdrop))
            elif seen != expected:
                wrong.append((x, y, seen, expected))
    return wrong


def pixels_of(rects):
    """The pixels that (left, top, right, bottom) rectangles cover."""
    return {(x, y) for left, top, right, bottom in rects for y in range(top, bottom) for x in range(left, right)}


def describe_mismatches(wrong, limit=5):
    head = ", ".join("(%d,%d) %s != %s" % m for m in wrong[:limit])
    return "%d pixels differ: %s%s" % (len(wrong), head, " ..." if len(wrong) > limit else "")


def parse_colour(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


# ---------------------------------------------------------------- the desktop

class Desktop:
    """A private X display: Xvfb, optionally a window manager (one of
    WINDOW_MANAGERS: openbox, which offers the standard interactive move and
    activation, twm, a classic one that offers neither, or the big desktops'
    compositing ones) and an accessibility bus.  Monitors, (name, width,
    height, scale) each, make the screen RandR monitors side by side at
    scales of their own (QT_SCREEN_SCALE_FACTORS); with xsettings the scale
    is an XSETTINGS Xft/DPI that set_xsettings_scale() changes."""

    def __init__(self, window_manager="openbox", accessibility=False, backdrop="#00ff00", scale=1,
                 monitors=None, xsettings=False):
        self.window_manager = "openbox" if window_manager is True else window_manager or None
        self.monitors = list(monitors or [])
        self.scale = self.monitors[0][3] if self.monitors else scale
        self.xsettings, self.xsettingsd = xsettings, None
        self.width = sum(m[1] for m in self.monitors) or SCREEN_W
        self.height = max([m[2] for m in self.monitors] or [SCREEN_H])
        self.accessibility = accessibility
        self.backdrop_text = backdrop
        self.backdrop = parse_colour(backdrop)
        self.processes = []
        self.runtime_dir = None
        self.display_name = None
        self.bus_address = None
        self.x = None  # python-xlib connection
        self.root_pixmap = None  # the backdrop as a wallpaper setter leaves it, held by self.x

    # -- start and stop

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *_):
        self.close()

    def start(self):
        self.runtime_dir = tempfile.mkdtemp(prefix="tw-e2e-")
        os.chmod(self.runtime_dir, 0o700)
        self._start_xvfb()
        left = 0
        for i, (name, w, h, _) in enumerate(self.monitors):
            # Naming the output "screen" replaces the monitor the server makes of it.
            run(["xrandr", "--setmonitor", name, "%d/%dx%d/%d+%d+0" % (w, w * 254 // 960, h, h * 254 // 960, left),
                 "none" if i else "screen"], env=self.env(), check=True, capture_output=True)
            left += w
        if self.xsettings:
            self.set_xsettings_scale(self.scale)
        elif self.scale != 1 and not self.monitors:
            # What a desktop at that scale tells its programs (Qt reads it).
            run(["xrdb", "-merge"], input="Xft.dpi: %d\n" % round(96 * self.scale),
                text=True, env=self.env(), check=True)
        # A bus of our own even without accessibility: with none, libdbus
        # autolaunches one that outlives the display (and the big desktops'
        # managers need one).
        self._start_session_bus()
        if self.window_manager:
            self._start_window_manager()
        self.set_backdrop(self.backdrop_text)
        if self.accessibility:
            self._start_accessibility()

    def close(self):
        if self.x is not None:
            try:
                self.x.close()
            except Exception:  # noqa: BLE001 - the server may be gone already
                pass
            self.x = None
        for process in reversed(self.processes):
            stop(process)
        self.processes = []
        if self.runtime_dir:
            shutil.rmtree(self.runtime_dir, ignore_errors=True)
            self.runtime_dir = None

    def _spawn(self, argv, env=None, **kwargs):
        log = open(os.path.join(self.runtime_dir, os.path.basename(argv[0]) + ".log"), "ab")
        try:
            process = spawn(argv, env=env or self.env(), stdout=kwargs.pop("stdout", log),
                            stderr=log, **kwargs)
        finally:
            log.close()
        self.processes.append(process)
        return process

    def _start_xvfb(self):
        # Without -noreset the server forgets the monitors when its last client leaves.
        _, self.display_name = xvfb.start(
            lambda argv, **kwargs: self._spawn(argv, env=dict(os.environ), **kwargs),
            screen="%dx%dx24" % (self.width, self.height), args=("-noreset",) if self.monitors else ())
        self.x = wait_until(self._try_connect, 10, 0.1)
        if self.x is None:
            raise RuntimeError("cannot connect to Xvfb on " + self.display_name)

    def set_xsettings_scale(self, scale):
        """Xft/DPI (in 1024ths) for a scale, as a settings daemon tells it."""
        self.scale = scale
        config = os.path.join(self.runtime_dir, "xsettingsd.conf")
        with open(config + ".part", "w") as f:
            f.write("Xft/DPI %d\n" % round(96 * scale * 1024))
        os.replace(config + ".part", config)
        if self.xsettingsd:
            return self.xsettingsd.send_signal(signal.SIGHUP)
        self.xsettingsd = self._spawn(["xsettingsd", "-c", config])
        owner = self.x.intern_atom("_XSETTINGS_S0")
        if not wait_until(lambda: self.x.get_selection_owner(owner) != 0, 10):
            raise RuntimeError("xsettingsd does not own _XSETTINGS_S0")

    def _try_connect(self):
        from Xlib import display as xdisplay
        try:
            return xdisplay.Display(self.display_name)
        except Exception:  # noqa: BLE001 - not ready yet
            return None

    @property
    def root(self):
        return self.x.screen().root

    @property
    def extended_hints(self):
        """Whether the window manager speaks the extended hints."""
        return bool(self.window_manager) and WINDOW_MANAGERS[self.window_manager].extended

    @property
    def composites(self):
        return bool(self.window_manager) and WINDOW_MANAGERS[self.window_manager].composites

    @property
    def manager(self):
        """The running window manager's row of WINDOW_MANAGERS; None for none."""
        return WINDOW_MANAGERS[self.window_manager] if self.window_manager else None

    def _write_manager_files(self):
        """The files the manager reads, under the desktop's own HOME and
        XDG_CONFIG_HOME; returns the environment it runs in."""
        for path, text in self.manager.files.items():
            full = os.path.join(self.runtime_dir, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            if text.startswith("->"):
                os.symlink(text[2:], full)
                continue
            with open(full, "w") as f:
                f.write(text)
            if text.startswith("#!"):
                os.chmod(full, 0o755)
        home = os.path.join(self.runtime_dir, "home")
        os.makedirs(home, exist_ok=True)
        return self.env({"HOME": home})

    def _start_session_daemons(self):
        for program, name in SESSION_DAEMONS.get(self.window_manager, []):
            if not os.path.exists(program):
                continue
            self._spawn([program])

            def serves():
                result = run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                              "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                             env=self.env(), capture_output=True, text=True)
                return "boolean true" in result.stdout
            if not wait_until(serves, 20, 0.1):
                raise RuntimeError("%s does not serve %s" % (program, name))

    def _start_window_manager(self):
        from Xlib import X, Xutil
        manager = self.manager
        self._start_session_daemons()
        env = self._write_manager_files()
        self._spawn(manager.argv, env=env)
        if manager.extended:
            atom = self.x.intern_atom("_NET_SUPPORTING_WM_CHECK")

            def wm_is_up():
                prop = self.root.get_full_property(atom, 0)
                return prop is not None and len(prop.value) > 0
            if not wait_until(wm_is_up, 20):
                raise RuntimeError("%s did not come up" % self.window_manager)
        for argv in manager.beside:
            self._spawn(argv, env=env)
        # A manager may name itself before it is done starting, and a window
        # mapped in between may never be managed: wait until it manages a
        # fresh one (placed by the program, or twm would ask the user): it
        # frames it, or, where it puts no frame around it (bspwm, dwm,
        # xmonad), gives it the WM_STATE every manager sets; and a
        # compositing one until it shows it (the screen is black before).
        # On a machine busy with other builds a manager can take over 10 s.
        deadline = time.monotonic() + 30
        probe_colour = (255, 0, 255)
        wm_state = self.x.intern_atom("WM_STATE")
        pixel = self.x.screen().default_colormap.alloc_color(*[c * 257 for c in probe_colour]).pixel
        while True:
            probe = self.root.create_window(0, 0, 20, 20, 0, X.CopyFromParent, background_pixel=pixel)
            probe.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.PPosition, x=0, y=0)
            probe.map()
            self.x.sync()

            def shown():
                managed = probe.query_tree().parent.id != self.root.id or \
                    probe.get_full_property(wm_state, X.AnyPropertyType) is not None
                if not managed or probe.get_attributes().map_state != X.IsViewable:
                    return False
                if not self.composites:
                    return True
                at = self.root.translate_coords(probe, 10, 10)
                return self.screenshot(at.x, at.y, 1, 1).getpixel((0, 0)) == probe_colour
            framed = wait_until(shown, 2)
            probe.destroy()
            self.x.sync()
            if framed:
                break
            if time.monotonic() > deadline:
                raise RuntimeError("%s does not manage windows" % self.window_manager)

    def set_backdrop(self, colour):
        """Sets the root colour and a root pixmap of it, and waits until the
        screen shows it (openbox paints the root black when it starts)."""
        self.backdrop_text = colour
        self.backdrop = parse_colour(colour)
        # xsetroot ends the client that holds the pixmap a former _XSETROOT_ID names.
        self.root.delete_property(self.x.intern_atom("_XSETROOT_ID"))
        run(["xsetroot", "-solid", colour], env=self.env(), check=True)
        if self.composites:
            self._set_root_pixmap()
            return  # it paints a background of its own
        # In the middle, where the windows under test go: dwm and spectrwm
        # draw a bar along the top. A manager may put its own wallpaper on
        # the root a while after it starts (fvwm's default config does): the
        # colour is set again until it shows.
        middle = (SCREEN_W // 2, SCREEN_H // 2)

        def shows():
            if self.screenshot(*middle, 1, 1).getpixel((0, 0)) == self.backdrop:
                return True
            run(["xsetroot", "-solid", colour], env=self.env(), check=True)
            return False
        if not wait_until(shows, 10, 0.5):
            raise RuntimeError("the root window does not show " + colour)

    def _set_root_pixmap(self):
        """A compositor paints the root pixmap a wallpaper setter names
        (_XROOTPMAP_ID, _XSETROOT_ID), not the root colour: without one marco
        paints black, where a black shadow cannot show. The pixmap lives as
        long as the harness's connection, the desktop's life. Only where a
        compositor runs: a setter that comes later ends the client holding
        the former pixmap (fvwm's default config runs fvwm-root)."""
        from Xlib import Xatom
        screen = self.x.screen()
        pixel = screen.default_colormap.alloc_color(*[c * 257 for c in self.backdrop]).pixel
        pixmap = self.root.create_pixmap(8, 8, screen.root_depth)
        gc = pixmap.create_gc(foreground=pixel)
        pixmap.fill_rectangle(gc, 0, 0, 8, 8)
        gc.free()
        for name in ("_XROOTPMAP_ID", "_XSETROOT_ID"):
            self.root.change_property(self.x.intern_atom(name), Xatom.PIXMAP, 32, [pixmap.id])
        if self.root_pixmap:
            self.root_pixmap.free()
        self.root_pixmap = pixmap
        self.x.sync()

    def _start_session_bus(self):
        bus = self._spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                          stdout=subprocess.PIPE)
        ready, _, _ = select.select([bus.stdout], [], [], 10)
        address = bus.stdout.readline().decode().strip() if ready else ""
        if not address:
            raise RuntimeError("dbus-daemon gave no address")
        self.bus_address = address

    def _start_accessibility(self):
        self._spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        if not wait_until(lambda: self.accessible_tree(None) is not None, 10, 0.2):
            raise RuntimeError("the accessibility registry does not answer")

    def accessible_tree(self, pid):
        """The accessible tree of one process (all, for None), read in a child
        process so that each reading sees the registry afresh; None if the
        registry does not answer."""
        argv = [sys.executable, os.path.abspath(__file__), "--atspi-dump", str(pid or 0)]
        try:
            result = run(argv, env=self.env(), capture_output=True, text=True, timeout=10)
        except subprocess.TimeoutExpired:
            return None
        if result.returncode != 0:
            return None
        return json.loads(result.stdout)

    # -- environment and programs

    def env(self, extra=None):
        env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "LD_PRELOAD", "FAKETIME", "QT_SCALE_FACTOR",
                     "QT_SCREEN_SCALE_FACTORS", "SESSION_MANAGER"):
            env.pop(name, None)
        env["QT_QPA_PLATFORM"] = "xcb"
        env["XDG_RUNTIME_DIR"] = self.runtime_dir
        # Desktops keep settings (KWin's shortcuts among them) between runs:
        # each desktop here starts from none.
        env["XDG_CONFIG_HOME"] = os.path.join(self.runtime_dir, "config")
        if self.display_name:
            env["DISPLAY"] = self.display_name
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        else:
            env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        if self.monitors:
            env["QT_SCREEN_SCALE_FACTORS"] = ";".join("%s=%g" % (m[0], m[3]) for m in self.monitors)
        if self.accessibility:
            env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        else:
            env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        env.update(extra or {})
        return {name: value for name, value in env.items() if value is not None}

    def launch(self, program, fake_time=None, tz=None, extra_env=None, args=()):
        """Starts the program; fake_time "YYYY-MM-DD hh:mm:ss" nearly stops its
        wall clock there (in zone tz) while its timers run at normal speed.
        A variable of extra_env set to None is removed."""
        extra = dict(extra_env or {})
        if tz:
            extra["TZ"] = tz
        if fake_time:
            extra.update({"LD_PRELOAD": FAKETIME_LIB, "FAKETIME": "@%s x0.0001" % fake_time,
                          "FAKETIME_DONT_FAKE_MONOTONIC": "1"})
        log = open(os.path.join(self.runtime_dir, "program.log"), "ab")
        try:
            process = spawn([program, *args], env=self.env(extra), stdout=log, stderr=log)
        finally:
            log.close()
        return App(self, process)

    def program_log(self):
        try:
            with open(os.path.join(self.runtime_dir, "program.log"), "rb") as log:
                return log.read().decode(errors="replace")
        except OSError:
            return ""

    def xdotool(self, *args):
        result = run(["xdotool"] + [str(a) for a in args], env=self.env(),
                     capture_output=True, text=True, timeout=20)
        return result.stdout

    def pointer_window(self):
        """The X window under the pointer, as xdotool reports it."""
        out = self.xdotool("getmouselocation", "--shell")
        fields = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(fields.get("WINDOW", "0"))

    def focus(self, window_id):
        """Gives a window the keyboard, as a person would: the pointer onto
        it, then the window manager's activation where it has one."""
        x, y, right, bottom = self.frame_of(window_id)
        self.xdotool("mousemove", (x + right) // 2, (y + bottom) // 2)
        self.xdotool("windowactivate" if self.extended_hints else "windowfocus", "--sync", window_id)

    def close_window(self, window_id):
        """What a window manager's close does: WM_DELETE_WINDOW to the window."""
        from Xlib import X, protocol
        window = self.x.create_resource_object("window", window_id)
        protocols = self.x.intern_atom("WM_PROTOCOLS")
        event = protocol.event.ClientMessage(
            window=window, client_type=protocols,
            data=(32, [self.x.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        self.x.sync()

    def ask_close(self, window_id):
        """What a taskbar's or pager's close does: _NET_CLOSE_WINDOW to the
        root, which the manager turns into its own close."""
        from Xlib import X, protocol
        window = self.x.create_resource_object("window", window_id)
        event = protocol.event.ClientMessage(window=window, client_type=self.x.intern_atom("_NET_CLOSE_WINDOW"),
                                             data=(32, [X.CurrentTime, 2, 0, 0, 0]))
        self.root.send_event(event, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.x.sync()

    def pointer_grab_free(self):
        """Whether another client can grab the pointer now: no one holds it."""
        from Xlib import X, display as xdisplay
        other = xdisplay.Display(self.display_name)
        try:
            status = other.screen().root.grab_pointer(False, X.ButtonPressMask, X.GrabModeAsync,
                                                      X.GrabModeAsync, X.NONE, X.NONE, X.CurrentTime)
            other.ungrab_pointer(X.CurrentTime)
            other.sync()
            return status == X.GrabSuccess
        finally:
            other.close()

    def atom_names(self, window_id, name):
        """The atoms a window's property (e.g. _NET_WM_STATE) holds, by name."""
        from Xlib import X
        window = self.x.create_resource_object("window", window_id)
        prop = window.get_full_property(self.x.intern_atom(name), X.AnyPropertyType)
        return [self.x.get_atom_name(a) for a in (prop.value if prop else [])]

    def drag(self, start, delta, button=1, steps=6, until=None, timeout=15):
        """Presses at start, moves by delta in steps and releases. With
        until (whether the drag has had its effect), the button stays down
        until it holds or timeout runs out: first with the pointer still (a
        busy program may hand the move to its window manager only after the
        last step, and then puts the window where the pointer is, which a
        manager that reads the pointer itself must find unmoved), then
        stirring by a pixel at the end as a hand does, for a manager whose
        move follows only motion after it began. Returns until's last value."""
        x, y = start
        end = (x + delta[0], y + delta[1])
        path = [("mousemove", x + delta[0] * i // steps, y + delta[1] * i // steps) for i in range(1, steps + 1)]
        self.xdotool("mousemove", x, y, "mousedown", button)
        # The server takes fake presses in turn with its other input, and a
        # motion asked for at once could overtake it.
        wait_until(lambda: self.root.query_pointer().mask & (1 << (7 + button)), 5)
        self.xdotool(*[a for step in path for a in step])

        def stirred():
            if until():
                return True
            self.xdotool("mousemove", end[0] + 1, end[1], "mousemove", *end)
            return False
        held = until and (wait_until(until, min(2, timeout)) or wait_until(stirred, timeout))
        self.xdotool("mouseup", button)
        return held

    def active_window(self):
        return int(self.xdotool("getactivewindow").strip() or 0)

    # -- screen

    def screenshot(self, x=0, y=0, w=None, h=None):
        """Exact pixels of a screen area (clipped to the screen) as a PIL image."""
        from PIL import Image
        from Xlib import X
        w, h = w or self.width, h or self.height
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + w), min(self.height, y + h)
        raw = self.root.get_image(x0, y0, x1 - x0, y1 - y0, X.ZPixmap, 0xFFFFFFFF)
        image = Image.frombytes("RGB", (x1 - x0, y1 - y0), raw.data, "raw", "BGRX")
        if (x0, y0, x1, y1) == (x, y, x + w, y + h):
            return image
        full = Image.new("RGB", (w, h), (0, 0, 0))
        full.paste(image, (x0 - x, y0 - y))
        return full

    # -- windows

    def windows_of(self, pid):
        """Every X window (at any depth, since a window manager reparents)
        that carries the process's _NET_WM_PID, with its state and absolute
        geometry."""
        from Xlib import X, error as xerror
        pid_atom = self.x.intern_atom("_NET_WM_PID")
        found = []
        pending = [self.root]
        while pending:
            window = pending.pop()
            try:
                pending.extend(window.query_tree().children)
                prop = window.get_full_property(pid_atom, X.AnyPropertyType)
                if prop is None or not len(prop.value) or prop.value[0] != pid:
                    continue
                attrs = window.get_attributes()
                geometry = window.get_geometry()
                origin = self.root.translate_coords(window, 0, 0)
                found.append({"id": window.id, "viewable": attrs.map_state == X.IsViewable,
                              "override_redirect": bool(attrs.override_redirect),
                              "x": origin.x, "y": origin.y,
                              "width": geometry.width, "height": geometry.height})
            except xerror.XError:
                continue  # went away while we looked
        return sorted(found, key=lambda w: w["id"])

    def place_in(self, window_id, frame_id):
        """Where a window stands inside another that holds it, from the
        other's top left corner inside its border."""
        frame = self.x.create_resource_object("window", frame_id)
        at = frame.translate_coords(self.x.create_resource_object("window", window_id), 0, 0)
        return (at.x, at.y)

    def shape_of(self, window_id):
        """The window's bounding shape (SHAPE extension) as (left, top, right,
        bottom) rectangles in its own coordinates; an unshaped window's is
        its one rectangle."""
        from Xlib.ext import shape
        window = self.x.create_resource_object("window", window_id)
        rects = window.shape_get_rectangles(shape.SK.Bounding).rectangles
        return [(r.x, r.y, r.x + r.width, r.y + r.height) for r in rects]

    def top_level(self, window_id):
        """The child of the root that holds a window (its frame, if the window
        manager reparented it)."""
        from Xlib import error as xerror
        window = self.x.create_resource_object("window", window_id)
        try:
            while True:
                parent = window.query_tree().parent
                if parent.id in (0, self.root.id):
                    return window.id
                window = parent
        except xerror.XError:
            return None

    def frame_of(self, window_id):
        """(left, top, right, bottom) on the screen of what holds a window:
        its window manager's frame, border included, or the window itself."""
        top = self.x.create_resource_object("window", self.top_level(window_id))
        g = top.get_geometry()
        return (g.x, g.y, g.x + g.width + 2 * g.border_width, g.y + g.height + 2 * g.border_width)

    def visible_windows_of(self, pid):
        return [w for w in self.windows_of(pid) if w["viewable"]]

    def make_catcher(self, x, y, w, h, colour, below):
        """Maps a plain override-redirect window that records button presses
        just below the frame that holds window `below`: what lies below it
        under every manager, spectrwm's own full-screen window too."""
        from Xlib import X
        screen = self.x.screen()
        pixel = screen.default_colormap.alloc_color(*[c * 257 for c in parse_colour(colour)]).pixel
        window = self.root.create_window(x, y, w, h, 0, screen.root_depth, X.InputOutput,
                                         X.CopyFromParent, background_pixel=pixel,
                                         override_redirect=True,
                                         event_mask=X.ButtonPressMask | X.ExposureMask)
        window.configure(sibling=self.top_level(below), stack_mode=X.Below)
        window.map()
        self.x.sync()
        return Catcher(self, window)


class Catcher:
    def __init__(self, desktop, window):
        self.desktop = desktop
        self.window = window

    @property
    def id(self):
        return self.window.id

    def presses(self, wait=0.5):
        """Button numbers pressed on this window since the last call."""
        from Xlib import X
        x = self.desktop.x
        buttons = []
        deadline = time.monotonic() + wait
        while time.monotonic() < deadline:
            while x.pending_events():
                event = x.next_event()
                if event.type == X.ButtonPress and event.window.id == self.window.id:
                    buttons.append(event.detail)
            if buttons:
                break
            time.sleep(0.02)
        return buttons

    def destroy(self):
        self.window.destroy()
        self.desktop.x.sync()


class App:
    """The program under test in one desktop."""

    def __init__(self, desktop, process):
        self.desktop = desktop
        self.process = process

    @property
    def pid(self):
        return self.process.pid

    def alive(self):
        return self.process.poll() is None

    def stop(self):
        return stop(self.process)

    def main_window(self, timeout=10):
        """Waits for the program's mapped window of the gadget's size."""
        size = window_size(self.desktop.scale)

        def find():
            if not self.alive():
                return None
            for w in self.desktop.visible_windows_of(self.pid):
                if (w["width"], w["height"]) == size and not w["override_redirect"]:
                    return w
            return None
        return wait_until(find, timeout)

    def position(self, window_id):
        for w in self.desktop.windows_of(self.pid):
            if w["id"] == window_id:
                return (w["x"], w["y"])
        return None

    def popups(self):
        return [w for w in self.desktop.visible_windows_of(self.pid) if w["override_redirect"]]

    def accessible(self):
        return self.desktop.accessible_tree(self.pid)

    def wait_captions(self, expected, timeout=6):
        """The captions once they show expected, or the last ones read."""
        return wait_reading(self.captions, captions_show(expected), timeout, 0.1)

    def captions(self):
        """{"Label1": text, "Label2": text} read from the accessible tree,
        told apart by where each label is in its window.  (Qt's idea of the
        window's own screen position can lag behind the window manager's
        reparenting, so only positions relative to the window are used.)"""
        tree = self.accessible() or []
        captions = {}
        for node in tree:
            if node["role"] != "label" or node["parent"] is None:
                continue
            window = tree[node["parent"]]
            if not node["extents"] or not window["extents"]:
                continue
            ex = node["extents"][0] - window["extents"][0]
            ey = node["extents"][1] - window["extents"][1]
            for name, rect in LABEL_RECTS.items():
                if [ex, ey] + list(node["extents"][2:]) == list(rect):
                    captions[name] = node["name"]
        return captions

    def alerts(self):
        tree = self.accessible() or []
        return [node for node in tree if node["role"] == "alert"]

    def shot(self, window):
        return self.desktop.screenshot(window["x"], window["y"], *window_size(self.desktop.scale))


# ---------------------------------------------------------------- accessibility

def _accessible_tree_of(pid):
    """Flattened accessible tree: each node with role, name, depth, its
    parent's index, and screen extents."""
    import pyatspi
    desktop = pyatspi.Registry.getDesktop(0)
    nodes = []

    def walk(node, depth, parent):
        index = len(nodes)
        try:
            extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            extents = [extents.x, extents.y, extents.width, extents.height]
        except Exception:  # noqa: BLE001 - not every node is a component
            extents = None
        # at-spi2-core 2.56 (Debian 13) calls a push button "button", 2.46
        # (Debian 12) "push button": the tests read the one name.
        role = "push button" if node.getRole() == pyatspi.ROLE_PUSH_BUTTON else node.getRoleName()
        nodes.append({"role": role, "name": node.name, "depth": depth,
                      "parent": parent, "extents": extents,
                      "pid": node.get_process_id() if depth == 0 else None})
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                walk(child, depth + 1, index)

    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None:
            continue
        if pid is None or app.get_process_id() == pid:
            walk(app, 0, None)
    return nodes


if __name__ == "__main__" and len(sys.argv) == 3 and sys.argv[1] == "--atspi-dump":
    signal.signal(signal.SIGTERM, signal.SIG_DFL)
    wanted = int(sys.argv[2]) or None
    print(json.dumps(_accessible_tree_of(wanted)))
