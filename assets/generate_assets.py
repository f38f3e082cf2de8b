#!/usr/bin/python3
"""Draw the gadget's artwork: assets/window.bmp (the window face) and
assets/icon.ico (the application icon).

Run with Debian's interpreter, which has Pillow:
    /usr/bin/python3 assets/generate_assets.py

The output is fully deterministic: no randomness, and both files are
serialised byte by byte here rather than by Pillow's writers, so the headers
are exactly what the loader expects.
"""

import hashlib
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

WHITE = (255, 255, 255)

# ---------------------------------------------------------------- window ---

WIN_W, WIN_H = 179, 210
SS = 6  # supersampling factor for the window face

BALL_CX, BALL_CY, BALL_R = 89.0, 122.0, 84.0
LOOP_CX, LOOP_CY, LOOP_R, LOOP_STROKE = 144.0, 17.0, 11.0, 3.0
EYE_CX, EYE_CY = 89.0, 24.5
TEXT = "Tallowind"
TEXT_SIZE = 24
TEXT_BASELINE = 106.0

# The application paints white text into these boxes (x0, y0, x1, y1; right
# and bottom exclusive), so they must be solid, darkish red.
LABEL_RECTS = {
    "Label1": (24, 120, 153, 137),
    "Label2": (40, 136, 145, 177),
}


def S(v):
    """Window coordinate -> supersampled canvas coordinate."""
    return v * SS


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(lerp(a, b, t) for a, b in zip(c1, c2))


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3.0 - 2.0 * t)


def normalise(v):
    n = math.sqrt(sum(c * c for c in v))
    return tuple(c / n for c in v)


def solid(size, colour, alpha_mask):
    """An RGBA layer of one colour whose alpha is the given L mask."""
    layer = Image.new("RGBA", size, colour + (255,))
    layer.putalpha(alpha_mask)
    return layer


def scale_mask(mask, factor):
    return mask.point(lambda v: int(v * factor + 0.5))


def ball_mask(size):
    m = Image.new("L", size, 0)
    ImageDraw.Draw(m).ellipse(
        (S(BALL_CX - BALL_R), S(BALL_CY - BALL_R),
         S(BALL_CX + BALL_R), S(BALL_CY + BALL_R)), fill=255)
    return m


LIGHT = normalise((-0.45, -0.55, 0.70))
GLOSS_AT = (-0.43, -0.52)  # where the window reflection sits, in normal space
RED_DARK = (70, 2, 10)
RED_MID = (178, 14, 24)
RED_LIT = (232, 46, 46)


def ball_colour(nx, ny):
    """Shade of the glass ball at a point given by its surface normal."""
    nz = math.sqrt(max(0.0, 1.0 - nx * nx - ny * ny))
    diffuse = max(0.0, nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2])
    if diffuse < 0.55:
        c = mix(RED_DARK, RED_MID, smoothstep(-0.15, 0.55, diffuse))
    else:
        c = mix(RED_MID, RED_LIT, smoothstep(0.55, 1.0, diffuse))
    # Glass darkens towards the silhouette.
    rim = smoothstep(0.0, 0.55, nz)
    c = mix(mix(RED_DARK, (40, 0, 6), 0.5), c, 0.35 + 0.65 * rim)
    # A faint reflected glow on the lower right rim gives the ball volume.
    bounce = max(0.0, nx * 0.55 + ny * 0.65) * (1.0 - smoothstep(0.05, 0.45, nz))
    c = mix(c, (205, 40, 48), 0.45 * bounce)
    # Broad sheen and a crisp glint, both around the reflection spot.
    d2 = (nx - GLOSS_AT[0]) ** 2 + (ny - GLOSS_AT[1]) ** 2
    sheen = math.exp(-d2 / 0.05)
    c = mix(c, (255, 150, 150), 0.55 * sheen)
    glint = 1.0 - smoothstep(0.010, 0.020, (nx - GLOSS_AT[0] + 0.02) ** 2 * 1.6
                             + (ny - GLOSS_AT[1] + 0.02) ** 2 * 2.6)
    c = mix(c, (255, 238, 236), 0.92 * glint)
    return c


def ball_layer(size):
    w, h = size
    buf = bytearray(w * h * 3)
    inv_r = 1.0 / S(BALL_R)
    y0 = int(S(BALL_CY - BALL_R)) - 1
    y1 = int(S(BALL_CY + BALL_R)) + 2
    x0 = int(S(BALL_CX - BALL_R)) - 1
    x1 = int(S(BALL_CX + BALL_R)) + 2
    for y in range(max(0, y0), min(h, y1)):
        ny = (y + 0.5 - S(BALL_CY)) * inv_r
        for x in range(max(0, x0), min(w, x1)):
            nx = (x + 0.5 - S(BALL_CX)) * inv_r
            if nx * nx + ny * ny > 1.0:
                # Pad just outside the silhouette with the rim colour so the
                # anti-aliased edge does not pick up black.
                k = 1.0 / math.sqrt(nx * nx + ny * ny) * 0.9999
                c = ball_colour(nx * k, ny * k)
            else:
                c = ball_colour(nx, ny)
            i = (y * w + x) * 3
            buf[i] = int(c[0] + 0.5)
            buf[i + 1] = int(c[1] + 0.5)
            buf[i + 2] = int(c[2] + 0.5)
    rgb = Image.frombytes("RGB", size, bytes(buf))
    layer = rgb.convert("RGBA")
    layer.putalpha(ball_mask(size))
    return layer


def shadow_layer(size):
    m = Image.new("L", size, 0)
    # A slightly smaller disc pushed diagonally: it peeks out most at the
    # lower right and fades out before the window's right and bottom edges.
    r, d = BALL_R - 4.0, 5.0
    ImageDraw.Draw(m).ellipse(
        (S(BALL_CX + d - r), S(BALL_CY + d - r),
         S(BALL_CX + d + r), S(BALL_CY + d + r)), fill=255)
    m = m.filter(ImageFilter.GaussianBlur(S(1.7)))
    # Trim the faint tail so the window outline stays tidy.
    m = m.point(lambda v: 0 if v < 24 else int((v - 24) * 0.56 + 0.5))
    return solid(size, (60, 50, 52), m)


def metal(u):
    """Brushed-silver brightness across a cylinder, u in 0..1 left to right."""
    stops = [(0.0, 105), (0.12, 170), (0.30, 246), (0.42, 214), (0.62, 150),
             (0.80, 196), (0.92, 160), (1.0, 100)]
    for (u0, v0), (u1, v1) in zip(stops, stops[1:]):
        if u <= u1:
            return lerp(v0, v1, smoothstep(0.0, 1.0, (u - u0) / (u1 - u0)))
    return stops[-1][1]


def silver_fill(size, left, right, top, bottom, grooves):
    """A metallic gradient spanning [left, right) with optional vertical ribs."""
    w, h = size
    img = Image.new("RGB", size, (0, 0, 0))
    px = img.load()
    for x in range(int(left), min(w, int(right) + 1)):
        u = min(1.0, max(0.0, (x + 0.5 - left) / (right - left)))
        v = metal(u)
        if grooves:
            # Ribbing: a narrow dark line every 3 window pixels.
            phase = ((x + 0.5 - left) / SS) % 3.0
            v *= 1.0 - 0.22 * (1.0 - smoothstep(0.0, 0.6, abs(phase - 1.5) - 0.6))
        for y in range(int(top), min(h, int(bottom) + 1)):
            t = (y + 0.5 - top) / (bottom - top)
            shade = v * (1.04 - 0.16 * t)
            g = int(min(250.0, shade) + 0.5)
            px[x, y] = (g, g, min(250, g + 6))
    return img


def cap_layers(size):
    layers = []
    # A soft contact shadow where the cap sits on the glass.
    sh = Image.new("L", size, 0)
    ImageDraw.Draw(sh).ellipse((S(70), S(40), S(108), S(50)), fill=255)
    sh = sh.filter(ImageFilter.GaussianBlur(S(2.2)))
    sh = ImageChops.multiply(sh, ball_mask(size))
    layers.append(solid(size, (40, 0, 4), scale_mask(sh, 0.7)))

    # The hanger eye on top of the cap; its opening is filled in dark so it
    # does not punch a second hole through the window.
    eye_hole = Image.new("L", size, 0)
    ImageDraw.Draw(eye_hole).ellipse(
        (S(EYE_CX - 3.0), S(EYE_CY - 3.0), S(EYE_CX + 3.0), S(EYE_CY + 3.0)),
        fill=255)
    layers.append(solid(size, (70, 72, 80), eye_hole))
    eye = Image.new("L", size, 0)
    ImageDraw.Draw(eye).ellipse(
        (S(EYE_CX - 4.2), S(EYE_CY - 4.2), S(EYE_CX + 4.2), S(EYE_CY + 4.2)),
        outline=255, width=int(S(2.0)))
    layers.append(Image.composite(
        silver_fill(size, S(EYE_CX - 4.2), S(EYE_CX + 4.2), S(EYE_CY - 4.2),
                    S(EYE_CY + 4.2), False).convert("RGBA"),
        Image.new("RGBA", size, (0, 0, 0, 0)), eye))

    body = (76.0, 27.5, 102.0, 42.0)
    body_mask = Image.new("L", size, 0)
    ImageDraw.Draw(body_mask).rounded_rectangle(
        tuple(S(v) for v in body), radius=S(2.5), fill=255)
    body_img = silver_fill(size, S(body[0]), S(body[2]), S(body[1]),
                           S(body[3]), True)
    # A darker outline keeps the grey cap crisp against the white background.
    outline = body_mask.filter(ImageFilter.MaxFilter(2 * int(S(0.5)) + 1))
    layers.append(solid(size, (88, 90, 96), outline))
    layers.append(Image.composite(body_img.convert("RGBA"),
                                  Image.new("RGBA", size, (0, 0, 0, 0)),
                                  body_mask))

    collar = (73.0, 38.5, 105.0, 46.0)
    collar_mask = Image.new("L", size, 0)
    ImageDraw.Draw(collar_mask).rounded_rectangle(
        tuple(S(v) for v in collar), radius=S(3.0), fill=255)
    collar_img = silver_fill(size, S(collar[0]), S(collar[2]), S(collar[1]),
                             S(collar[3]), False)
    outline = collar_mask.filter(ImageFilter.MaxFilter(2 * int(S(0.5)) + 1))
    layers.append(solid(size, (80, 82, 88), outline))
    layers.append(Image.composite(collar_img.convert("RGBA"),
                                  Image.new("RGBA", size, (0, 0, 0, 0)),
                                  collar_mask))
    return layers


def bezier(p0, p1, p2, p3, steps=64):
    pts = []
    for i in range(steps + 1):
        t = i / steps
        a, b, c, d = (1 - t) ** 3, 3 * (1 - t) ** 2 * t, 3 * (1 - t) * t * t, t ** 3
        pts.append((a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0],
                    a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1]))
    return pts


def wire_layers(size):
    """The gold hanger: a wire from the cap's eye ending in a closed loop."""
    # Join the loop at its lower left, tangentially.
    ang = math.radians(135.0)
    join = (LOOP_CX + LOOP_R * 0.86 * math.cos(ang),
            LOOP_CY + LOOP_R * 0.86 * math.sin(ang))
    path = bezier((EYE_CX + 2.5, EYE_CY - 2.0), (100.0, 12.0),
                  (121.0, 31.0), join)
    ring_box = (LOOP_CX - LOOP_R + LOOP_STROKE / 2, LOOP_CY - LOOP_R + LOOP_STROKE / 2,
                LOOP_CX + LOOP_R - LOOP_STROKE / 2, LOOP_CY + LOOP_R - LOOP_STROKE / 2)

    def stroke(width, dx, dy, colour):
        m = Image.new("L", size, 0)
        d = ImageDraw.Draw(m)
        d.line([(S(x + dx), S(y + dy)) for x, y in path], fill=255,
               width=int(S(width)), joint="curve")
        r = width / 2
        d.ellipse((S(ring_box[0] - r + dx), S(ring_box[1] - r + dy),
                   S(ring_box[2] + r + dx), S(ring_box[3] + r + dy)), fill=255)
        inner = Image.new("L", size, 0)
        ImageDraw.Draw(inner).ellipse(
            (S(ring_box[0] + r + dx), S(ring_box[1] + r + dy),
             S(ring_box[2] - r + dx), S(ring_box[3] - r + dy)), fill=255)
        m = ImageChops.subtract(m, inner)
        # The round wire's ends.
        for x, y in (path[0],):
            d2 = ImageDraw.Draw(m)
            d2.ellipse((S(x + dx - r), S(y + dy - r), S(x + dx + r), S(y + dy + r)),
                       fill=255)
        return solid(size, colour, m)

    return [
        stroke(LOOP_STROKE, 0.0, 0.0, (112, 78, 18)),
        stroke(LOOP_STROKE * 0.62, -0.25, -0.25, (206, 160, 52)),
        stroke(LOOP_STROKE * 0.25, -0.45, -0.45, (252, 232, 150)),
    ]


def text_layers(size):
    font = ImageFont.truetype(FONT_BOLD, int(S(TEXT_SIZE)))
    anchor_xy = (S(BALL_CX), S(TEXT_BASELINE))

    def text_mask(stroke):
        m = Image.new("L", size, 0)
        ImageDraw.Draw(m).text(anchor_xy, TEXT, font=font, fill=255,
                               anchor="ms", stroke_width=int(S(stroke)),
                               stroke_fill=255)
        return m

    fill_mask = text_mask(0)
    edge_mask = text_mask(1.1)
    drop = ImageChops.offset(edge_mask, int(S(1.2)), int(S(1.6)))
    drop = drop.filter(ImageFilter.GaussianBlur(S(1.0)))

    # Vertical gradient: bright fir green at the top to deep green below.
    top = S(TEXT_BASELINE - 19)
    bottom = S(TEXT_BASELINE)
    grad = Image.new("RGB", size)
    gp = grad.load()
    w, h = size
    for y in range(h):
        t = min(1.0, max(0.0, (y - top) / (bottom - top)))
        c = mix((70, 200, 90), (8, 112, 40), t)
        c = tuple(int(v + 0.5) for v in c)
        for x in range(w):
            gp[x, y] = c
    green = grad.convert("RGBA")
    green.putalpha(fill_mask)
    return [
        solid(size, (35, 0, 4), scale_mask(drop, 0.6)),
        solid(size, (250, 214, 110), edge_mask),
        green,
    ]


def render_window():
    """Return (rgb, coverage): the face on white and the drawing's coverage."""
    size = (WIN_W * SS, WIN_H * SS)
    canvas = Image.new("RGBA", size, (0, 0, 0, 0))
    layers = [shadow_layer(size), ball_layer(size)]
    layers += cap_layers(size)
    layers += wire_layers(size)
    layers += text_layers(size)
    for layer in layers:
        canvas = Image.alpha_composite(canvas, layer)

    on_white = Image.alpha_composite(Image.new("RGBA", size, WHITE + (255,)),
                                     canvas).convert("RGB")
    rgb = on_white.reduce(SS)
    coverage = canvas.getchannel("A").reduce(SS)

    # A pixel that is mostly drawing must never be taken for background just
    # because its blend rounded to white. Conversely a barely touched pixel
    # that is white to the eye is made background, so the outline is not
    # bloated by invisible specks.
    px = rgb.load()
    cov = coverage.load()
    for y in range(WIN_H):
        for x in range(WIN_W):
            if cov[x, y] >= 128 and px[x, y] == WHITE:
                px[x, y] = (254, 254, 254)
            elif cov[x, y] < 16 and min(px[x, y]) >= 252:
                px[x, y] = WHITE
    return rgb, coverage


def window_census(img):
    px = img.load()
    w, h = img.size
    pure = near = runs = 0
    for y in range(h):
        in_run = False
        for x in range(w):
            p = px[x, y]
            if p == WHITE:
                pure += 1
                if not in_run:
                    runs += 1
                in_run = True
            else:
                in_run = False
                if min(p) >= 240:
                    near += 1
    return {"pure_white": pure, "non_white": w * h - pure,
            "near_white": near, "white_runs": runs}


def enclosed_white_regions(img):
    """Pure-white 4-connected components that do not touch the border."""
    px = img.load()
    w, h = img.size
    seen = [[False] * w for _ in range(h)]
    regions = []
    for sy in range(h):
        for sx in range(w):
            if seen[sy][sx] or px[sx, sy] != WHITE:
                continue
            stack = [(sx, sy)]
            seen[sy][sx] = True
            cells = []
            touches = False
            while stack:
                x, y = stack.pop()
                cells.append((x, y))
                if x in (0, w - 1) or y in (0, h - 1):
                    touches = True
                for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                    if 0 <= nx < w and 0 <= ny < h and not seen[ny][nx] \
                            and px[nx, ny] == WHITE:
                        seen[ny][nx] = True
                        stack.append((nx, ny))
            if not touches:
                regions.append(cells)
    return regions


def luminance(p):
    return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]


def check_window(img, coverage):
    """Return a list of violated constraints (empty when all is well)."""
    px = img.load()
    cov = coverage.load()
    w, h = img.size
    errors = []

    def expect(ok, what):
        if not ok:
            errors.append(what)

    expect(img.size == (WIN_W, WIN_H), "window must be 179x210")
    for y in range(3):
        expect(all(px[x, y] == WHITE for x in range(w)), f"row {y} must be white")
    expect(all(px[0, y] == WHITE for y in range(h)), "column 0 must be white")

    # Anything the drawing mostly covers must be opaque; untouched pixels
    # must be exact background.
    leaks = [(x, y) for y in range(h) for x in range(w)
             if cov[x, y] >= 128 and px[x, y] == WHITE]
    expect(not leaks, f"covered pixels that are pure white: {leaks[:5]}")
    stray = [(x, y) for y in range(h) for x in range(w)
             if cov[x, y] == 0 and px[x, y] != WHITE]
    expect(not stray, f"uncovered pixels that are not white: {stray[:5]}")
    specks = [(x, y) for y in range(h) for x in range(w)
              if px[x, y] != WHITE and min(px[x, y]) >= 252 and cov[x, y] < 16]
    expect(not specks, f"invisible specks left in the outline: {specks[:5]}")

    text_bottom = TEXT_BASELINE
    for name, (x0, y0, x1, y1) in LABEL_RECTS.items():
        # Every corner well inside the ball, below the lettering.
        for cx, cy in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
            d = math.hypot(cx - BALL_CX, cy - BALL_CY)
            expect(d <= BALL_R - 4, f"{name} corner ({cx},{cy}) too close to the rim")
        expect(y0 > text_bottom, f"{name} overlaps the lettering")
        cells = [px[x, y] for y in range(y0, y1) for x in range(x0, x1)]
        expect(all(p != WHITE for p in cells), f"{name} contains pure white")
        reddish = all(p[0] > p[1] + 60 and p[0] > p[2] + 60 for p in cells)
        expect(reddish, f"{name} is not solidly red")
        brightest = max(luminance(p) for p in cells)
        # White text needs contrast: keep the label backdrop dark.
        expect(brightest < 80, f"{name} too bright for white text ({brightest:.0f})")

    # Lettering must be inside the ball and above the labels.
    letter_rows = [y for y in range(h) for x in range(w)
                   if px[x, y][1] > px[x, y][0] + 40]
    expect(letter_rows and max(letter_rows) < 118,
           f"green lettering reaches row {max(letter_rows) if letter_rows else None}")

    holes = enclosed_white_regions(img)
    expect(len(holes) >= 1, "the hanger loop encloses no white hole")
    for cells in holes:
        inside = all(131 <= x < 157 and 6 <= y < 28 for x, y in cells)
        expect(inside, f"unexpected enclosed white region near {cells[0]}")
    return errors, holes


def bmp_bytes(img):
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    image_size = stride * h
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + image_size, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, image_size,
                       2835, 2835, 0, 0)
    px = img.load()
    rows = bytearray()
    pad = bytes(stride - w * 3)
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b = px[x, y]
            rows += bytes((b, g, r))
        rows += pad
    return header + info + bytes(rows)


# ------------------------------------------------------------------ icon ---

ICON = 32
ISS = 8


def icon_drawing():
    """Santa's face as RGBA at ISS times the icon size."""
    n = ICON * ISS
    size = (n, n)

    def s(v):
        return v * ISS

    def shape(draw_fn):
        m = Image.new("L", size, 0)
        draw_fn(ImageDraw.Draw(m))
        return m

    face = shape(lambda d: d.ellipse((s(8), s(9), s(24), s(25)), fill=255))
    beard = shape(lambda d: (
        d.ellipse((s(4.5), s(12), s(27.5), s(31.2)), fill=255),
        d.polygon([(s(9), s(27)), (s(16), s(31.6)), (s(23), s(27))], fill=255)))
    # Cut the face opening out of the beard so the skin shows.
    opening = shape(lambda d: d.ellipse((s(9), s(10.5), s(23), s(22.5)), fill=255))
    beard = ImageChops.subtract(beard, opening)
    cap = shape(lambda d: d.polygon(
        [(s(5.5), s(11)), (s(10), s(3.5)), (s(17), s(1.0)), (s(24.5), s(3.2)),
         (s(28.5), s(8.5)), (s(26.5), s(11))], fill=255))
    cap = ImageChops.lighter(cap, shape(lambda d: d.ellipse(
        (s(8), s(0.6), s(27), s(14)), fill=255)))
    trim = shape(lambda d: d.rounded_rectangle((s(4), s(9), s(28), s(14.2)),
                                               radius=s(2.6), fill=255))
    pompom = shape(lambda d: d.ellipse((s(24.5), s(4.5), s(31), s(11)), fill=255))
    moustache = shape(lambda d: (
        d.ellipse((s(9.2), s(19.2), s(16.4), s(23.6)), fill=255),
        d.ellipse((s(15.6), s(19.2), s(22.8), s(23.6)), fill=255)))
    nose = shape(lambda d: d.ellipse((s(14), s(16.6), s(18), s(20.4)), fill=255))
    cheeks = shape(lambda d: (
        d.ellipse((s(9.2), s(16.8), s(13), s(20.2)), fill=255),
        d.ellipse((s(19), s(16.8), s(22.8), s(20.2)), fill=255)))
    cheeks = cheeks.filter(ImageFilter.GaussianBlur(s(0.5)))
    # Eyes sit on whole pixels so they stay crisp at 32x32.
    eyes = shape(lambda d: (
        d.rounded_rectangle((s(12), s(14), s(14), s(17)), radius=s(0.6), fill=255),
        d.rounded_rectangle((s(18), s(14), s(20), s(17)), radius=s(0.6), fill=255)))

    silhouette = face
    for m in (beard, cap, trim, pompom):
        silhouette = ImageChops.lighter(silhouette, m)
    # A dark keyline so the icon reads on light and dark task bars alike.
    keyline = silhouette.filter(ImageFilter.MaxFilter(2 * int(s(0.6)) + 1))

    canvas = Image.new("RGBA", size, (0, 0, 0, 0))
    for colour, mask in (
            ((70, 22, 26), keyline),
            ((196, 24, 36), cap),
            ((246, 196, 160), face),
            ((232, 126, 120), scale_mask(cheeks, 0.8)),
            ((236, 238, 242), beard),
            ((248, 248, 250), trim),
            ((250, 250, 252), pompom),
            ((34, 24, 30), eyes),
            ((246, 246, 248), moustache),
            ((214, 90, 84), nose)):
        canvas = Image.alpha_composite(canvas, solid(size, colour, mask))
    # Shade the cap: lighter crown, darker fold towards the pompom.
    fold = shape(lambda d: d.polygon(
        [(s(18), s(2)), (s(25), s(3.5)), (s(27.5), s(9)), (s(21), s(9))], fill=255))
    fold = ImageChops.multiply(fold.filter(ImageFilter.GaussianBlur(s(1.2))), cap)
    canvas = Image.alpha_composite(canvas, solid(size, (110, 8, 20), scale_mask(fold, 0.6)))
    shine = shape(lambda d: d.ellipse((s(9), s(3.5), s(15), s(7.5)), fill=255))
    shine = ImageChops.multiply(shine.filter(ImageFilter.GaussianBlur(s(1.0))), cap)
    canvas = Image.alpha_composite(canvas, solid(size, (240, 90, 96), scale_mask(shine, 0.55)))
    # Soft grey shading under the trim and on the beard's lower edge.
    shade = shape(lambda d: d.ellipse((s(6), s(26), s(26), s(33)), fill=255))
    shade = ImageChops.multiply(shade.filter(ImageFilter.GaussianBlur(s(1.5))), beard)
    canvas = Image.alpha_composite(canvas, solid(size, (180, 184, 196), scale_mask(shade, 0.7)))
    return canvas


def render_icon():
    """Return (rgb, opaque) at 32x32: colours and the binary visibility."""
    big = icon_drawing()
    alpha = big.getchannel("A")
    # Premultiply (composite on black) before averaging, then undo it, so
    # edge pixels keep their true colour rather than a dark halo.
    premul = Image.alpha_composite(Image.new("RGBA", big.size, (0, 0, 0, 255)),
                                   big).convert("RGB").reduce(ISS)
    a = alpha.reduce(ISS)
    pp, ap = premul.load(), a.load()
    rgb = Image.new("RGB", (ICON, ICON), (0, 0, 0))
    out = rgb.load()
    opaque = [[False] * ICON for _ in range(ICON)]
    for y in range(ICON):
        for x in range(ICON):
            av = ap[x, y]
            if av >= 128:
                opaque[y][x] = True
                out[x, y] = tuple(min(255, int(c * 255 / av + 0.5)) for c in pp[x, y])
    return rgb, opaque


def ico_bytes(rgb, opaque):
    n = ICON
    color_stride = n * 3
    mask_stride = ((n + 31) // 32) * 4
    image_size = (color_stride + mask_stride) * n
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 24, 0, image_size,
                       0, 0, 0, 0)
    px = rgb.load()
    colour = bytearray()
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        for x in range(n):
            r, g, b = px[x, y] if opaque[y][x] else (0, 0, 0)
            colour += bytes((b, g, r))
        bits = 0
        for x in range(n):
            bits = (bits << 1) | (0 if opaque[y][x] else 1)
        mask += bits.to_bytes(mask_stride, "big")
    resource = info + bytes(colour) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", n, n, 0, 0, 1, 24, len(resource), 6 + 16)
    return icondir + entry + resource


def check_icon(data, opaque):
    errors = []
    if len(data) != 3262:
        errors.append(f"icon.ico is {len(data)} bytes, expected 3262")
    opaque_count = sum(map(sum, opaque))
    if not 300 <= opaque_count <= 1000:
        errors.append(f"icon has an implausible {opaque_count} opaque pixels")
    for x in (0, ICON - 1):
        if opaque[ICON // 2][x]:
            errors.append("icon drawing touches the left/right edge at mid height")
    return errors


# ------------------------------------------------------------------ main ---

def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    print(f"wrote {os.path.relpath(path, os.path.dirname(HERE))}: {len(data)} bytes, "
          f"sha256 {hashlib.sha256(data).hexdigest()}")


def icon_png_bytes(ico):
    import io
    from PIL import Image
    image = Image.open(io.BytesIO(ico)).convert("RGBA")
    out = io.BytesIO()
    image.save(out, format="PNG", optimize=False)
    return out.getvalue()


def main():
    window, coverage = render_window()
    errors, holes = check_window(window, coverage)
    bmp = bmp_bytes(window)
    if len(bmp) != 113454:
        errors.append(f"window.bmp is {len(bmp)} bytes, expected 113454")

    icon_rgb, opaque = render_icon()
    ico = ico_bytes(icon_rgb, opaque)
    errors += check_icon(ico, opaque)

    if errors:
        for e in errors:
            print("error:", e, file=sys.stderr)
        return 1

    census = window_census(window)
    print("window census:",
          f"pure white {census['pure_white']},",
          f"non-white {census['non_white']},",
          f"near-white {census['near_white']},",
          f"white runs {census['white_runs']},",
          f"enclosed white regions {len(holes)} "
          f"({sum(len(c) for c in holes)} px)")
    transparent = ICON * ICON - sum(map(sum, opaque))
    print(f"icon mask: {transparent} transparent pixels, "
          f"{ICON * ICON - transparent} opaque")
    write(os.path.join(HERE, "window.bmp"), bmp)
    write(os.path.join(HERE, "icon.ico"), ico)
    # Desktop icon themes take PNG, not ICO: the same image with its mask as alpha.
    write(os.path.join(HERE, "tallowind.png"), icon_png_bytes(ico))
    return 0


if __name__ == "__main__":
    sys.exit(main())
