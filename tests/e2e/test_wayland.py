"""Smoke test of the program as a native Wayland client of a headless weston,
with the output at scale 1 and at scale 2, with a user's fractional
QT_SCALE_FACTOR, and with Qt asked for X11 first ("xcb;wayland") where there
is no X11 display: it makes a toplevel, commits a buffer of the window's size
times the scale to it (saying the output's part of it with the buffer
scale), sets the picture's outline as its input region in surface
coordinates, scaled by the same mapping as the picture where Qt does the
scaling, and keeps running.

Usage: test_wayland.py PATH_TO_TALLOWIND
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

from desktop import WHITE, edge, load_picture, run_test, spawn, stop, wait_until, window_size

RUN_FOR = 2.0
# (the output's scale, the user's QT_SCALE_FACTOR, QT_QPA_PLATFORM)
SETUPS = ((1, None, "wayland"), (2, None, "wayland"), (1, "1.5", "wayland"), (1, None, "xcb;wayland"))
# The protocol log pads its millisecond stamp with blanks ("[  99143.385]")
# whenever the stamp has fewer than seven digits. libwayland 1.23 (Debian 13)
# names the queue ("{Default Queue}") and writes objects as wl_surface#3,
# where 1.21 (Debian 12) writes wl_surface@3.
CALL = re.compile(r"^\[\s*[\d.]+\]\s+(?:\{[^}]*\}\s+)?(->)?\s*(\w+)[@#](\d+)\.(\w+)\((.*)\)\s*$")


def parse_protocol_log(text):
    """(outgoing, interface, id, request_or_event, arguments) per line."""
    calls = []
    for line in text.splitlines():
        match = CALL.match(line)
        if match:
            calls.append((bool(match[1]), match[2], int(match[3]), match[4], match[5]))
    return calls


def new_ids(args):
    return [(kind, int(n)) for kind, n in re.findall(r"new id (\w+|\[unknown\])[@#](\d+)", args)]


def object_ids(args, interface):
    return [int(n) for n in re.findall(interface + r"[@#](\d+)", args)]


class ClientState:
    """What the client's protocol log says it did, with object ids resolved
    at the time of each call (the protocol reuses ids)."""

    def __init__(self, calls):
        self.errors = []
        regions, buffers, xdg_surfaces = {}, {}, {}
        attached, committed, input_regions, buffer_scales = {}, {}, {}, {}
        self.toplevel_surface = None
        for outgoing, interface, oid, name, args in calls:
            if not outgoing:
                if interface == "wl_display" and name == "error":
                    self.errors.append(args)
                continue
            if interface == "wl_compositor" and name == "create_region":
                regions[new_ids(args)[0][1]] = set()
            elif interface == "wl_compositor" and name == "create_surface":
                surface = new_ids(args)[0][1]
                attached[surface], committed[surface], input_regions[surface] = None, [], None
            elif interface == "wl_region" and name == "add" and oid in regions:
                x, y, w, h = (int(v) for v in args.split(","))
                regions[oid] |= {(px, py) for px in range(x, x + w) for py in range(y, y + h)}
            elif interface == "wl_shm_pool" and name == "create_buffer":
                fields = [f.strip() for f in args.split(",")]
                buffers[new_ids(args)[0][1]] = (int(fields[2]), int(fields[3]))
            elif interface == "xdg_wm_base" and name == "get_xdg_surface":
                xdg_surfaces[new_ids(args)[0][1]] = object_ids(args, "wl_surface")[0]
            elif interface == "xdg_surface" and name == "get_toplevel":
                self.toplevel_surface = xdg_surfaces.get(oid)
            elif interface == "wl_surface" and oid in committed:
                if name == "attach":
                    ids = object_ids(args, "wl_buffer")
                    attached[oid] = buffers.get(ids[0]) if ids else None
                elif name == "commit" and attached[oid] is not None:
                    committed[oid].append(attached[oid])
                    attached[oid] = None
                elif name == "set_buffer_scale":
                    buffer_scales[oid] = int(args)
                elif name == "set_input_region":
                    ids = object_ids(args, "wl_region")
                    input_regions[oid] = set(regions.get(ids[0], set())) if ids else None
        # (width, height) of buffers committed to the toplevel's surface
        self.committed_buffers = committed.get(self.toplevel_surface, [])
        # the input region last set on it, as a set of (x, y)
        self.input_region = input_regions.get(self.toplevel_surface)
        self.buffer_scale = buffer_scales.get(self.toplevel_surface, 1)


def start_weston(runtime_dir, socket, scale):
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime_dir)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    log = open(os.path.join(runtime_dir, "weston.log"), "wb")
    try:
        weston = spawn(["weston", "--backend=headless-backend.so", "--socket=" + socket,
                        "--idle-time=0", "--no-config", "--width=1024", "--height=768",
                        "--scale=%d" % scale],
                       env=env, stdout=log, stderr=log)
    finally:
        log.close()
    ready = wait_until(lambda: os.path.exists(os.path.join(runtime_dir, socket)) or
                       weston.poll() is not None, 10)
    if not ready or weston.poll() is not None:
        with open(os.path.join(runtime_dir, "weston.log"), errors="replace") as f:
            reason = f.read().strip().splitlines()[-3:]
        stop(weston)
        return None, "weston did not start: %s" % " | ".join(reason)
    return weston, None


def scaled_outline(picture, scale):
    px = picture.load()
    return {(dx, dy) for y in range(picture.size[1]) for x in range(picture.size[0]) if px[x, y] != WHITE
            for dy in range(edge(y, scale), edge(y + 1, scale))
            for dx in range(edge(x, scale), edge(x + 1, scale))}


def check_client(checks, program, runtime_dir, socket, scale, factor, platform):
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime_dir, WAYLAND_DISPLAY=socket,
               QT_QPA_PLATFORM=platform, WAYLAND_DEBUG="1")
    for name in ("DISPLAY", "LD_PRELOAD", "FAKETIME", "DBUS_SESSION_BUS_ADDRESS", "QT_SCALE_FACTOR",
                 "QT_SCREEN_SCALE_FACTORS"):
        env.pop(name, None)
    if factor:
        env["QT_SCALE_FACTOR"] = factor
    log_path = os.path.join(runtime_dir, "client.log")
    qt_factor = float(factor or 1)
    size = window_size(scale * qt_factor)

    def read_log():
        with open(log_path, errors="replace") as f:
            return f.read()
    def committed():
        return ClientState(parse_protocol_log(read_log())).committed_buffers
    with open(log_path, "wb") as log:
        app = spawn([program], env=env, stdout=subprocess.DEVNULL, stderr=log)
    # The first frame can take seconds on a busy machine; then the program
    # must not end, and, as the positive control after that wait, go on
    # drawing: its countdown commits a new frame every second.
    wait_until(lambda: size in committed() or app.poll() is not None, 10, 0.5)
    ended = wait_until(lambda: app.poll() is not None, RUN_FOR, 0.1)
    frames = len(committed())
    checks.check("the program is still running after %.0f s" % RUN_FOR, not ended, "exit status %r" % app.poll())
    checks.check("and still draws: a new frame comes", wait_until(lambda: len(committed()) > frames, 5, 0.2),
                 "%d frames committed, none since" % frames)
    stop(app)
    text = read_log()
    state = ClientState(parse_protocol_log(text))

    checks.equal("no protocol error", state.errors, [])
    checks.check("it makes an xdg_toplevel", state.toplevel_surface is not None,
                 "no get_toplevel in %d log lines" % len(text.splitlines()))
    checks.check("it commits a %dx%d buffer to the toplevel's surface" % size,
                 size in state.committed_buffers, "committed %r" % state.committed_buffers[:5])
    checks.equal("its buffer scale is the output's", state.buffer_scale, scale)
    outline = scaled_outline(load_picture(), qt_factor)
    region = state.input_region or set()
    checks.check("its input region is the picture's outline", region == outline,
                 "%d pixels set, %d expected, %d extra, %d missing"
                 % (len(region), len(outline), len(region - outline), len(outline - region)))


def main(checks):
    program = os.path.abspath(sys.argv[1])
    if shutil.which("weston") is None:
        checks.skip("Wayland smoke test", "weston is not installed")
        return
    for scale, factor, platform in SETUPS:
        checks.prefix = "output scale %d%s%s: " % (scale, ", QT_SCALE_FACTOR=" + factor if factor else "",
                                                  ", QT_QPA_PLATFORM=" + platform if platform != "wayland" else "")
        runtime_dir = tempfile.mkdtemp(prefix="tw-wayland-")
        os.chmod(runtime_dir, 0o700)
        socket = "tw-e2e-%d" % os.getpid()
        weston = None
        try:
            weston, why = start_weston(runtime_dir, socket, scale)
            # Installed but not starting is a fault of this machine the test
            # must show, not a reason to pass without a check.
            if not checks.check("weston starts", weston, why):
                continue
            check_client(checks, program, runtime_dir, socket, scale, factor, platform)
        finally:
            if weston is not None:
                stop(weston)
            shutil.rmtree(runtime_dir, ignore_errors=True)


if __name__ == "__main__":
    run_test(main)
