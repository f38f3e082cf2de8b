"""Measures the Linux program on its own Xvfb + openbox desktop:
  start-up time from spawn to the first shaped frame on screen (median of 5),
  idle CPU over a quiet spell, and peak and resident memory at the end.

Usage: measure.py [--scale S] [PATH_TO_TALLOWIND] [IDLE_SECONDS]
  --scale S: the desktop's display scale (Xft.dpi 96 * S), 1 by default;
  the program is build/release/tallowind by default, idle 60 s.
"""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from desktop import LABEL_RECTS, WHITE, Desktop, load_picture, scale_picture, scale_rect, window_size  # noqa: E402


def arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("program", nargs="?", default=os.path.join(HERE, "..", "build", "release", "tallowind"))
    parser.add_argument("idle", nargs="?", type=float, default=60.0)
    args = parser.parse_args()
    args.program = os.path.realpath(args.program)
    if not os.access(args.program, os.X_OK):
        parser.error("no program at %s" % args.program)
    if args.scale <= 0 or args.idle < 0:
        parser.error("the scale must be above 0 and the idle time not below")
    return args


ARGS = arguments()
program, idle, scale = ARGS.program, ARGS.idle, ARGS.scale

WINDOW_W, WINDOW_H = window_size(scale)

RUNS = 5
TIMEOUT = 20.0


def blank_labels(image):
    for x, y, w, h in (scale_rect(r, scale) for r in LABEL_RECTS.values()):
        image.paste((0, 0, 0), (x, y, x + w, y + h))
    return image


def outline(image, backdrop):
    """1 where the image is not the backdrop, as bytes."""
    from PIL import Image, ImageChops
    bare = Image.new("RGB", image.size, backdrop)
    return ImageChops.difference(image, bare).convert("L").point(lambda v: 1 if v else 0).tobytes()


def expected_frame(desktop):
    """The window's area as the shaped window shows it; the labels' text
    changes from "Loading" to the count, so their rectangles are left out.
    At 100 % that is the picture; above, a drawing made for the scale, so
    a first start shows it, once its outline is the scaled picture's."""
    from PIL import Image
    backdrop = desktop.backdrop
    picture = scale_picture(load_picture(), scale)
    frame = Image.new("RGB", (WINDOW_W, WINDOW_H), backdrop)
    mask = Image.new("L", picture.size, 0)
    mask.putdata([0 if p == WHITE else 255 for p in picture.getdata()])
    frame.paste(picture, (0, 0), mask)
    if scale == 1:
        return blank_labels(frame).tobytes()
    want = outline(blank_labels(frame), backdrop)
    app = desktop.launch(program)
    try:
        t0, at, last = time.monotonic(), None, None
        while time.monotonic() - t0 < TIMEOUT:
            at = at or window_at(app)
            shot = at and blank_labels(desktop.screenshot(at[0], at[1], WINDOW_W, WINDOW_H))
            if shot and outline(shot, backdrop) == want and shot.tobytes() == last:
                break
            last = shot and shot.tobytes()
            time.sleep(0.5)
        else:
            raise SystemExit("no shaped frame within %.0f s" % TIMEOUT)
    finally:
        app.stop()
    while at and desktop.screenshot(at[0] + WINDOW_W // 2, at[1] + WINDOW_H // 3, 1, 1).getpixel((0, 0)) \
            != backdrop and time.monotonic() - t0 < 2 * TIMEOUT:
        time.sleep(0.01)
    return last


def window_at(app):
    """Where the program's window stands, once it is mapped; looked for once,
    not waited for, so the start-up time is read to the poll."""
    window = app.main_window(timeout=0)
    return window and (window["x"], window["y"])


def startup_ms(desktop, want):
    """Time from spawn to the first shaped frame, and where the window is."""
    t0 = time.monotonic()
    app = desktop.launch(program)
    at = None
    try:
        while time.monotonic() - t0 < TIMEOUT:
            if at is None:
                at = window_at(app)
            elif blank_labels(desktop.screenshot(at[0], at[1], WINDOW_W, WINDOW_H)).tobytes() == want:
                return (time.monotonic() - t0) * 1000.0, app, at
            if not app.alive():
                raise SystemExit("the program ended with status %r" % app.stop())
            time.sleep(0.002)
        raise SystemExit("no shaped frame within %.0f s" % TIMEOUT)
    except BaseException:
        app.stop()
        raise


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def status_kib(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def wait_for_bare_desktop(desktop, at):
    """Lets the screen go back to the bare desktop before the next start."""
    deadline = time.monotonic() + TIMEOUT
    while desktop.screenshot(at[0] + WINDOW_W // 2, at[1] + WINDOW_H // 3, 1, 1).getpixel((0, 0)) \
            != desktop.backdrop and time.monotonic() < deadline:
        time.sleep(0.01)


def measure():
    """(start-up times in ms, idle CPU in % of a core, VmHWM and VmRSS in KiB)."""
    with Desktop(window_manager=True, backdrop="#00ff00", scale=scale) as desktop:
        want = expected_frame(desktop)
        times = []
        app, at = None, None
        for _ in range(RUNS):
            if app is not None:
                app.stop()
                wait_for_bare_desktop(desktop, at)
            ms, app, at = startup_ms(desktop, want)
            times.append(ms)

        time.sleep(1.0)  # past the first ticks and repaints
        hz = os.sysconf("SC_CLK_TCK")
        before, t0 = cpu_ticks(app.pid), time.monotonic()
        time.sleep(idle)
        after, elapsed = cpu_ticks(app.pid), time.monotonic() - t0
        cpu = (after - before) / hz / elapsed * 100.0
        hwm, rss = status_kib(app.pid, "VmHWM"), status_kib(app.pid, "VmRSS")
        app.stop()
    return times, cpu, hwm, rss


def report(times, cpu, hwm, rss):
    rows = [
        ("start-up to first shaped frame, median of %d" % RUNS, "%.0f ms" % statistics.median(times)),
        ("  each run", " ".join("%.0f" % t for t in times) + " ms"),
        ("idle CPU over %g s" % idle, "%.2f %% of one core" % cpu),
        ("peak memory (VmHWM)", "%.1f MiB" % (hwm / 1024.0)),
        ("resident memory at the end (VmRSS)", "%.1f MiB" % (rss / 1024.0)),
    ]
    print("program: %s, display scale %g" % (program, scale))
    width = max(len(r[0]) for r in rows)
    print("%-*s  %s" % (width, "measure", "value"))
    print("%s  %s" % ("-" * width, "-" * 24))
    for name, value in rows:
        print("%-*s  %s" % (width, name, value))


if __name__ == "__main__":
    report(*measure())
