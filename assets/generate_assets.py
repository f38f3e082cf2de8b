"""Draw the gadget's artwork: assets/window.bmp (the window face),
assets/icon.ico (the application icon) and assets/icons/ (the same icon for
the desktop's icon theme, as PNG at each size and as SVG).

Run with Debian's interpreter, which has Pillow, as assets/README.md says.

The output is fully deterministic: no randomness, and the BMP and ICO are
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


def render_canvas():
    """The face drawn SS pixels to a picture pixel: (on white, coverage)."""
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
    return on_white, canvas.getchannel("A")


def render_window(canvas=None):
    """Return (rgb, coverage): the face on white and the drawing's coverage."""
    on_white, alpha = canvas or render_canvas()
    rgb = on_white.reduce(SS)
    coverage = alpha.reduce(SS)

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


# ------------------------------------------------------ display scales ---

# The face drawn for high-resolution screens; the program shrinks the nearest
# larger one to the screen's scale, or enlarges the largest.
RENDITION_SCALES = (1.25, 1.5, 2, 3)


def edge(x, scale):
    """Where picture edge x lands at a display scale, halves rounded up."""
    return math.floor(x * scale + 0.5)


def mapped_size(scale):
    return edge(WIN_W, scale), edge(WIN_H, scale)


def source_index(count, scale):
    """For each device column (or row), the picture column it lies in."""
    return [x for x in range(count) for _ in range(edge(x + 1, scale) - edge(x, scale))]


def draw_at(scale, canvas):
    """The face drawn directly at a display scale: the supersampled canvas
    area-averaged onto device pixels, device pixel X covering picture
    coordinates [X / scale, (X + 1) / scale)."""
    on_white = canvas[0]
    size = mapped_size(scale)
    span = (size[0] * SS / scale, size[1] * SS / scale)
    # The mapped size rounds up past the canvas by at most a pixel: white.
    padded = Image.new("RGB", (math.ceil(span[0]), math.ceil(span[1])), WHITE)
    padded.paste(on_white, (0, 0))
    return padded.resize(size, Image.BOX, box=(0, 0) + span)


def rendition(scale, canvas, window):
    """The face at a scale with the window's outline: pure white exactly in
    the device blocks of the picture's white pixels. Where the finer drawing
    leaves a drawn block's pixel white (its rim lies inside the coarser
    outline), the pixel takes the picture pixel's colour: the rim looks as it
    does at 100 %, not as a brighter fringe against a dark desktop."""
    img = draw_at(scale, canvas)
    px, wp = img.load(), window.load()
    columns, rows = source_index(WIN_W, scale), source_index(WIN_H, scale)
    for y, sy in enumerate(rows):
        for x, sx in enumerate(columns):
            if wp[sx, sy] == WHITE:
                px[x, y] = WHITE
            elif px[x, y] == WHITE:
                px[x, y] = wp[sx, sy]
    return img


def check_rendition(img, scale, window):
    errors = []
    label = f"{round(scale * 100)} % rendition"
    if img.size != mapped_size(scale):
        return [f"{label} is {img.size}, expected {mapped_size(scale)}"]
    px, wp = img.load(), window.load()
    columns, rows = source_index(WIN_W, scale), source_index(WIN_H, scale)
    wrong = [(x, y) for y, sy in enumerate(rows) for x, sx in enumerate(columns)
             if (px[x, y] == WHITE) != (wp[sx, sy] == WHITE)]
    if wrong:
        errors.append(f"{label}: white differs from the mapped picture at {wrong[:5]}")
    for name, (x0, y0, x1, y1) in LABEL_RECTS.items():
        cells = [px[x, y] for y in range(edge(y0, scale), edge(y1, scale))
                 for x in range(edge(x0, scale), edge(x1, scale))]
        if not all(p[0] > p[1] + 60 and p[0] > p[2] + 60 and luminance(p) < 80 for p in cells):
            errors.append(f"{label}: {name} is not solid dark red")
    return errors


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
# The sizes of the desktop icon theme; each is drawn afresh, never scaled.
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)

# The icon's parts on its own 32-unit grid, whatever size it is drawn at.
# A part is a list of primitives: ("ellipse", box), ("polygon", points) or
# ("rrect", box, radius).
FACE = [("ellipse", (8, 9, 24, 25))]
BEARD_OUTLINE = [("ellipse", (4.5, 12, 27.5, 31.2)),
                 ("polygon", ((9, 27), (16, 31.6), (23, 27)))]
FACE_OPENING = [("ellipse", (9, 10.5, 23, 22.5))]
CAP = [("polygon", ((5.5, 11), (10, 3.5), (17, 1.0), (24.5, 3.2), (28.5, 8.5),
                    (26.5, 11))),
       ("ellipse", (8, 0.6, 27, 14))]
TRIM = [("rrect", (4, 9, 28, 14.2), 2.6)]
POMPOM = [("ellipse", (24.5, 4.5, 31, 11))]
MOUSTACHE = [("ellipse", (9.2, 19.2, 16.4, 23.6)), ("ellipse", (15.6, 19.2, 22.8, 23.6))]
NOSE = [("ellipse", (14, 16.6, 18, 20.4))]
CHEEKS = [("ellipse", (9.2, 16.8, 13, 20.2)), ("ellipse", (19, 16.8, 22.8, 20.2))]
# Eyes sit on whole pixels so they stay crisp at 32x32.
EYES = [("rrect", (12, 14, 14, 17), 0.6), ("rrect", (18, 14, 20, 17), 0.6)]
FOLD = [("polygon", ((18, 2), (25, 3.5), (27.5, 9), (21, 9)))]
SHINE = [("ellipse", (9, 3.5, 15, 7.5))]
SHADE = [("ellipse", (6, 26, 26, 33))]

# Masks built from parts: ("minus", a, b), ("union", a, ...), ("blur", a,
# sigma), ("clip", a, b) keeps a only inside b, ("grow", a, distance).
# The face opening is cut out of the beard so the skin shows.
BEARD = ("minus", BEARD_OUTLINE, FACE_OPENING)
SILHOUETTE = ("union", FACE, BEARD, CAP, TRIM, POMPOM)

# (colour, mask, opacity), bottom first.
ICON_LAYERS = (
    # A dark keyline so the icon reads on light and dark task bars alike.
    ((70, 22, 26), ("grow", SILHOUETTE, 0.6), 1.0),
    ((196, 24, 36), CAP, 1.0),
    ((246, 196, 160), FACE, 1.0),
    ((232, 126, 120), ("blur", CHEEKS, 0.5), 0.8),
    ((236, 238, 242), BEARD, 1.0),
    ((248, 248, 250), TRIM, 1.0),
    ((250, 250, 252), POMPOM, 1.0),
    ((34, 24, 30), EYES, 1.0),
    ((246, 246, 248), MOUSTACHE, 1.0),
    ((214, 90, 84), NOSE, 1.0),
    # Shade the cap: a darker fold towards the pompom, a lighter crown.
    ((110, 8, 20), ("clip", ("blur", FOLD, 1.2), CAP), 0.6),
    ((240, 90, 96), ("clip", ("blur", SHINE, 1.0), CAP), 0.55),
    # Soft grey shading on the beard's lower edge.
    ((180, 184, 196), ("clip", ("blur", SHADE, 1.5), BEARD), 0.7),
)


def icon_supersampling(n):
    return max(4, 256 // n)


def grow_mask(mask, r):
    """Square dilation by r pixels: MaxFilter(2r+1) away from the borders, but
    in a few shifted maxima per axis, as MaxFilter is far too slow at 256 px."""
    if r <= 0:
        return mask
    w, h = mask.size
    acc = Image.new("L", (w + 2 * r, h + 2 * r), 0)
    acc.paste(mask, (r, r))
    for axis in ((1, 0), (0, 1)):
        width = 1
        while width < 2 * r + 1:
            step = min(width, 2 * r + 1 - width)
            moved = Image.new("L", acc.size, 0)
            moved.paste(acc, (step * axis[0], step * axis[1]))
            acc = ImageChops.lighter(acc, moved)
            width += step
    return acc.crop((2 * r, 2 * r, 2 * r + w, 2 * r + h))


def raster_mask(expr, size, unit):
    """An L mask of a part or mask expression, `unit` canvas pixels per grid unit."""
    def s(v):
        return v * unit

    if isinstance(expr, list):
        m = Image.new("L", size, 0)
        d = ImageDraw.Draw(m)
        for kind, geometry, *rest in expr:
            if kind == "ellipse":
                d.ellipse(tuple(s(v) for v in geometry), fill=255)
            elif kind == "polygon":
                d.polygon([(s(x), s(y)) for x, y in geometry], fill=255)
            else:
                d.rounded_rectangle(tuple(s(v) for v in geometry), radius=s(rest[0]), fill=255)
        return m
    op, a, *rest = expr
    m = raster_mask(a, size, unit)
    if op == "minus":
        return ImageChops.subtract(m, raster_mask(rest[0], size, unit))
    if op == "union":
        for other in rest:
            m = ImageChops.lighter(m, raster_mask(other, size, unit))
        return m
    if op == "blur":
        return m.filter(ImageFilter.GaussianBlur(s(rest[0])))
    if op == "clip":
        return ImageChops.multiply(m, raster_mask(rest[0], size, unit))
    return grow_mask(m, int(s(rest[0])))


def render_icon(n):
    """The icon drawn at n x n as RGBA, colours not premultiplied."""
    ss = icon_supersampling(n)
    size = (n * ss, n * ss)
    big = Image.new("RGBA", size, (0, 0, 0, 0))
    for colour, expr, opacity in ICON_LAYERS:
        mask = raster_mask(expr, size, n * ss / ICON)
        if opacity != 1.0:
            mask = scale_mask(mask, opacity)
        big = Image.alpha_composite(big, solid(size, colour, mask))
    # Premultiply (composite on black) before averaging, then undo it, so
    # edge pixels keep their true colour rather than a dark halo.
    premul = Image.alpha_composite(Image.new("RGBA", size, (0, 0, 0, 255)),
                                   big).convert("RGB").reduce(ss)
    alpha = big.getchannel("A").reduce(ss)
    pp, ap = premul.load(), alpha.load()
    icon = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    out = icon.load()
    for y in range(n):
        for x in range(n):
            av = ap[x, y]
            if av:
                out[x, y] = tuple(min(255, int(c * 255 / av + 0.5)) for c in pp[x, y]) + (av,)
    return icon


def ico_bytes(icon):
    """A one-image ICO: 24-bit colour and a 1-bit mask, opaque where alpha >= 128."""
    n = icon.size[0]
    color_stride = n * 3
    mask_stride = ((n + 31) // 32) * 4
    image_size = (color_stride + mask_stride) * n
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 24, 0, image_size,
                       0, 0, 0, 0)
    px = icon.load()
    colour = bytearray()
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        for x in range(n):
            r, g, b, a = px[x, y]
            colour += bytes((b, g, r)) if a >= 128 else bytes(3)
        bits = 0
        for x in range(n):
            bits = (bits << 1) | (0 if px[x, y][3] >= 128 else 1)
        mask += bits.to_bytes(mask_stride, "big")
    resource = info + bytes(colour) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", n, n, 0, 0, 1, 24, len(resource), 6 + 16)
    return icondir + entry + resource


def check_icon(icon):
    errors = []
    n = icon.size[0]
    alpha = icon.getchannel("A")
    opaque = sum(1 for a in alpha.getdata() if a >= 128)
    if not 0.29 <= opaque / (n * n) <= 0.98:
        errors.append(f"{n}px icon has an implausible {opaque} opaque pixels")
    if alpha.getpixel((0, n // 2)) or alpha.getpixel((n - 1, n // 2)):
        errors.append(f"{n}px icon touches the left/right edge at mid height")
    return errors


def svg_number(v):
    return f"{v:.4g}"


def icon_svg():
    """The same drawing as scalable vector graphics: parts become shapes,
    masks SVG masks and filters; the keyline is a stroke, round rather than
    square at its corners."""
    defs = []
    ids = iter(range(1, 1000))
    region = 'x="-2" y="-2" width="36" height="36"'

    def primitives(part):
        out = []
        for kind, geometry, *rest in part:
            if kind == "ellipse":
                x0, y0, x1, y1 = geometry
                out.append(f'<ellipse cx="{svg_number((x0 + x1) / 2)}" '
                           f'cy="{svg_number((y0 + y1) / 2)}" rx="{svg_number((x1 - x0) / 2)}" '
                           f'ry="{svg_number((y1 - y0) / 2)}"/>')
            elif kind == "polygon":
                points = " ".join(f"{svg_number(x)},{svg_number(y)}" for x, y in geometry)
                out.append(f'<polygon points="{points}"/>')
            else:
                x0, y0, x1, y1 = geometry
                out.append(f'<rect x="{svg_number(x0)}" y="{svg_number(y0)}" '
                           f'width="{svg_number(x1 - x0)}" height="{svg_number(y1 - y0)}" '
                           f'rx="{svg_number(rest[0])}"/>')
        return "".join(out)

    def mask(content):
        name = f"m{next(ids)}"
        defs.append(f'<mask id="{name}" maskUnits="userSpaceOnUse" {region}>{content}</mask>')
        return name

    def shape(expr, colour):
        if isinstance(expr, list):
            return primitives(expr)
        op, a, *rest = expr
        if op == "union":
            return "".join(shape(e, colour) for e in (a, *rest))
        if op == "minus":
            name = mask(f'<rect {region} fill="#fff"/><g fill="#000">{shape(rest[0], "#000")}</g>')
            return f'<g mask="url(#{name})">{shape(a, colour)}</g>'
        if op == "clip":
            name = mask(f'<g fill="#fff">{shape(rest[0], "#fff")}</g>')
            return f'<g mask="url(#{name})">{shape(a, colour)}</g>'
        if op == "blur":
            name = f"f{next(ids)}"
            defs.append(f'<filter id="{name}" filterUnits="userSpaceOnUse" {region}>'
                        f'<feGaussianBlur stdDeviation="{svg_number(rest[0])}"/></filter>')
            return f'<g filter="url(#{name})">{shape(a, colour)}</g>'
        return (f'<g stroke="{colour}" stroke-width="{svg_number(2 * rest[0])}" '
                f'stroke-linejoin="round">{shape(a, colour)}</g>')

    layers = []
    for colour, expr, opacity in ICON_LAYERS:
        hex_colour = "#%02x%02x%02x" % colour
        attrs = f' opacity="{svg_number(opacity)}"' if opacity != 1.0 else ""
        layers.append(f'<g fill="{hex_colour}"{attrs}>{shape(expr, hex_colour)}</g>')
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
            f'viewBox="0 0 {ICON} {ICON}">\n'
            '<title>Tallowind</title>\n'
            f'<defs>{"".join(defs)}</defs>\n'
            + "\n".join(layers) + "\n</svg>\n").encode()


# ------------------------------------------------------------------ main ---

def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print(f"wrote {os.path.relpath(path, os.path.dirname(HERE))}: {len(data)} bytes, "
          f"sha256 {hashlib.sha256(data).hexdigest()}")


def png_bytes(image):
    import io
    out = io.BytesIO()
    image.save(out, format="PNG", optimize=True)
    return out.getvalue()


def main():
    canvas = render_canvas()
    window, coverage = render_window(canvas)
    errors, holes = check_window(window, coverage)
    renditions = {scale: rendition(scale, canvas, window) for scale in RENDITION_SCALES}
    for scale, img in renditions.items():
        errors += check_rendition(img, scale, window)
    bmp = bmp_bytes(window)
    if len(bmp) != 113454:
        errors.append(f"window.bmp is {len(bmp)} bytes, expected 113454")

    icons = {n: render_icon(n) for n in ICON_SIZES}
    for icon in icons.values():
        errors += check_icon(icon)
    ico = ico_bytes(icons[ICON])
    if len(ico) != 3262:
        errors.append(f"icon.ico is {len(ico)} bytes, expected 3262")

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
    opaque = sum(1 for a in icons[ICON].getchannel("A").getdata() if a >= 128)
    print(f"icon mask: {ICON * ICON - opaque} transparent pixels, {opaque} opaque")
    write(os.path.join(HERE, "window.bmp"), bmp)
    for scale, img in renditions.items():
        write(os.path.join(HERE, f"window-{round(scale * 100)}.png"), png_bytes(img))
    write(os.path.join(HERE, "icon.ico"), ico)
    for n, icon in icons.items():
        write(os.path.join(HERE, "icons", f"tallowind-{n}.png"), png_bytes(icon))
    write(os.path.join(HERE, "icons", "tallowind.svg"), icon_svg())
    return 0


if __name__ == "__main__":
    sys.exit(main())
