#!/usr/bin/python3
"""Draws the editor's skin pictures: backdrop, help overlay and knob filmstrip.

The pictures are committed under resources/; building never runs this script.
Each is drawn for three screen densities from the same geometry: name.jpg at
1x, name@2x.jpg and name@3x.jpg with two and three pixels per editor unit.
It needs the system Python with python3-pil, python3-numpy and
fonts-dejavu-core:

    /usr/bin/python3 tools/skin/make_skin.py [--preview editor.png]

--preview additionally renders a mock-up of the whole editor (backdrop, knobs
at mid travel, read-outs in the built-in font) for looking at the result.
The output is the same on every run: all noise comes from fixed seeds.
"""

import argparse
import math
import pathlib
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

ROOT = pathlib.Path(__file__).resolve().parents[2]
RESOURCES = ROOT / "resources"
FONT_DIR = pathlib.Path("/usr/share/fonts/truetype/dejavu")

# Editor layout in form client pixels; the pictures are fitted to it.
WIDTH, HEIGHT = 402, 250
KNOB_SIZE = 74
KNOB_LEFTS = (30, 142, 253)
KNOB_TOP = 52
READOUT_LEFTS = (31, 143, 255)
READOUT_TOP, READOUT_WIDTH, READOUT_HEIGHT = 137, 71, 24
CAPTIONS = ("Gain", "Intensity", "Out Gain")
HOT_SPOT = (381, 4, 16, 22)  # left, top, width, height of the help click area

PANEL_WIDTH, PANEL_TOP, PANEL_BOTTOM, PANEL_RADIUS = 96, 14, 175, 9

FRAMES_X, FRAMES_Y = 10, 6
FRAME_COUNT = FRAMES_X * FRAMES_Y
MIN_ANGLE, MAX_ANGLE = -135.0, 135.0  # clockwise from 12 o'clock

SUPERSAMPLE = 4
JPEG_QUALITY = 95
# The filmstrip gets more: its frames sit on the white panels, and ringing
# from the value arc would otherwise tint the frame edges.
KNOB_JPEG_QUALITY = 97

WHITE = np.array([255.0, 255.0, 255.0])
CREAM = np.array([255.0, 240.0, 214.0])
AMBER = np.array([240.0, 142.0, 38.0])
CAPTION_INK = np.array([78.0, 50.0, 30.0])


# Pixels per editor unit of the pictures being drawn (1, 2 or 3). Geometry is
# given in editor units throughout; only pixel counts, blur widths and font
# sizes are multiplied by it.
DENSITY = 1


def px(value):
    return value * DENSITY


def font(name, size):
    return ImageFont.truetype(str(FONT_DIR / name), px(size))


# ---------------------------------------------------------------------------
# Raster helpers. Images are float arrays (h, w, 3) in 0..255, masks (h, w)
# in 0..1.


def grid(width, height, scale=1):
    """Pixel-centre coordinates, in editor units, of a width × height unit
    picture at the current density sampled scale× finer."""
    xs = (np.arange(width * DENSITY * scale) + 0.5) / (scale * DENSITY)
    ys = (np.arange(height * DENSITY * scale) + 0.5) / (scale * DENSITY)
    return np.meshgrid(xs, ys)


def downsample(mask, scale):
    h, w = mask.shape[0] // scale, mask.shape[1] // scale
    return mask.reshape(h, scale, w, scale, *mask.shape[2:]).mean(axis=(1, 3))


def coverage(distance, scale=1):
    """Anti-aliased coverage of the inside (distance < 0, in editor units) of
    a distance field sampled scale× finer than the current density."""
    return np.clip(0.5 - distance * (scale * DENSITY), 0.0, 1.0)


def rounded_rect_distance(x, y, left, top, right, bottom, radius):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = np.abs(x - cx) - hx, np.abs(y - cy) - hy
    outside = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0))
    return outside + np.minimum(np.maximum(qx, qy), 0) - radius


def rounded_rect_mask(width, height, rect, radius):
    x, y = grid(width, height, SUPERSAMPLE)
    d = rounded_rect_distance(x, y, *rect, radius)
    return downsample(coverage(d, SUPERSAMPLE), SUPERSAMPLE)


def blur(mask, sigma, axes=(0, 1)):
    """Separable Gaussian blur of a mask or image along the given axes; sigma
    in editor units."""
    sigma = px(sigma)
    radius = int(math.ceil(sigma * 3))
    taps = np.exp(-0.5 * (np.arange(-radius, radius + 1) / sigma) ** 2)
    taps /= taps.sum()
    out = mask.astype(float)
    for axis in axes:
        pad = [(0, 0)] * out.ndim
        pad[axis] = (radius, radius)
        padded = np.pad(out, pad, mode="edge")
        out = sum(
            t * np.take(padded, range(i, i + out.shape[axis]), axis=axis)
            for i, t in enumerate(taps)
        )
    return out


def shift(mask, dx, dy):
    """Moves a mask by whole editor units, filling with zero."""
    dx, dy = px(dx), px(dy)
    out = np.zeros_like(mask)
    h, w = mask.shape[:2]
    out[max(dy, 0) : h + min(dy, 0), max(dx, 0) : w + min(dx, 0)] = mask[
        max(-dy, 0) : h - max(dy, 0), max(-dx, 0) : w - max(dx, 0)
    ]
    return out


def over(image, colour, alpha):
    """Paints colour (RGB triple or image) onto image with the given alpha mask."""
    a = np.clip(alpha, 0.0, 1.0)[..., None]
    return image * (1 - a) + np.asarray(colour, dtype=float) * a


def text_mask(width, height, text, face, anchor_xy, anchor="mm", spacing=0.0):
    """Coverage of a text drawn with PIL's hinted anti-aliasing.

    spacing adds that many pixels between letters (letter-spaced capitals).
    """
    canvas = Image.new("L", (px(width), px(height)), 0)
    draw = ImageDraw.Draw(canvas)
    anchor_xy = (px(anchor_xy[0]), px(anchor_xy[1]))
    spacing = px(spacing)
    if spacing == 0.0:
        draw.text(anchor_xy, text, font=face, fill=255, anchor=anchor)
    else:
        total = sum(face.getlength(c) for c in text) + spacing * (len(text) - 1)
        x, y = anchor_xy
        x -= {"l": 0.0, "m": total / 2, "r": total}[anchor[0]]
        for c in text:
            draw.text((round(x), y), c, font=face, fill=255, anchor="l" + anchor[1])
            x += face.getlength(c) + spacing
    return np.asarray(canvas, dtype=float) / 255.0


def rotated_text_mask(width, height, text, face, centre, spacing=0.0):
    """Coverage of a text that reads downwards (turned a quarter clockwise)."""
    cx, cy = centre
    upright = text_mask(height, width, text, face, (cy, width - cx), "mm", spacing)
    return np.rot90(upright, k=-1)


# ---------------------------------------------------------------------------
# Backdrop


def brushed_copper(seed):
    """Warm brushed-metal texture covering the whole editor."""
    rng = np.random.default_rng(seed)
    x, y = grid(WIDTH, HEIGHT)
    u, v = x / WIDTH, y / HEIGHT

    # Deep copper, lighter towards the upper left where the light comes from.
    dark = np.array([78.0, 36.0, 16.0])
    light = np.array([178.0, 100.0, 44.0])
    t = np.clip(0.80 - 0.45 * u - 0.55 * v + 0.18 * np.cos(2.4 * u + 1.1 * v), 0, 1)
    t = t ** 1.25
    base = dark + (light - dark) * t[..., None]

    # Brushing: long fine horizontal streaks over shorter, livelier ones, and
    # a little grain. The noise is wider than the plate so that the blur has
    # no edge effects.
    margin = px(120)
    noise = rng.normal(size=(2, px(HEIGHT), px(WIDTH) + 2 * margin))
    long = blur(blur(noise[0], 0.45, axes=(0,)), 30.0, axes=(1,))[:, margin:-margin]
    short = blur(noise[1], 4.0, axes=(1,))[:, margin:-margin]
    grain = rng.normal(size=(px(HEIGHT), px(WIDTH)))
    lum = 1.0 + 0.055 * long / long.std() + 0.025 * short / short.std() + 0.012 * grain

    # Soft sheen band across the plate and a darker rim.
    sheen = np.exp(-(((v - 0.35 + 0.25 * u) / 0.22) ** 2)) * 0.10
    vignette = 1.0 - 0.30 * (np.clip(np.hypot((u - 0.45) * 1.3, (v - 0.45) * 1.5) - 0.35, 0, 1))

    sheen_colour = 255.0 * np.array([1.0, 0.8, 0.55])
    image = base * (lum * vignette)[..., None] + sheen[..., None] * sheen_colour
    return np.clip(image, 0, 255)


def panel_rects():
    for knob_left in KNOB_LEFTS:
        centre = knob_left + KNOB_SIZE / 2
        yield (centre - PANEL_WIDTH / 2, PANEL_TOP, centre + PANEL_WIDTH / 2, PANEL_BOTTOM)


def draw_panels(image):
    masks = [rounded_rect_mask(WIDTH, HEIGHT, r, PANEL_RADIUS) for r in panel_rects()]
    body = np.maximum.reduce(masks)

    # Lifted off the plate: a wide soft shadow and a tight contact shadow.
    image = over(image, [30, 12, 4], 0.55 * blur(shift(body, 0, 3), 4.0))
    image = over(image, [30, 12, 4], 0.35 * blur(shift(body, 0, 1), 1.0))
    image = over(image, WHITE, body)

    # Rounded edge: a faint shade inside the outline, darker at the bottom,
    # that fades out long before the knob area so the knob frames blend in.
    x, y = grid(WIDTH, HEIGHT)
    for rect in panel_rects():
        d = rounded_rect_distance(x, y, *rect, PANEL_RADIUS)
        depth = np.clip(-d, 0, None)
        lower = np.clip((y - rect[1]) / (rect[3] - rect[1]), 0, 1)
        shade = np.exp(-depth / 1.4) * (0.10 + 0.16 * lower) * (d < 0.5)
        image = over(image, [120, 84, 60], shade)
    return image


def draw_captions(image):
    face = font("DejaVuSans-Bold.ttf", 13)
    for knob_left, caption in zip(KNOB_LEFTS, CAPTIONS):
        centre = knob_left + KNOB_SIZE / 2
        mask = text_mask(WIDTH, HEIGHT, caption, face, (centre, 31), "mm", spacing=0.4)
        image = over(image, CAPTION_INK, mask)
        # A short copper rule under the caption ties the panel to the plate.
        rule = rounded_rect_mask(WIDTH, HEIGHT, (centre - 12, 41, centre + 12, 42.6), 0.8)
        image = over(image, AMBER * 0.92, rule)
    return image


def draw_readout_wells(image):
    x, y = grid(WIDTH, HEIGHT)
    for left in READOUT_LEFTS:
        rect = (left, READOUT_TOP, left + READOUT_WIDTH, READOUT_TOP + READOUT_HEIGHT)
        # Bezel just outside the well: darker above (in shadow), lighter below.
        outer = (rect[0] - 2, rect[1] - 2, rect[2] + 2, rect[3] + 2)
        bezel = rounded_rect_mask(WIDTH, HEIGHT, outer, 3.0)
        t = np.clip((y - outer[1]) / (outer[3] - outer[1]), 0, 1)[..., None]
        upper, lower = np.array([150.0, 134.0, 122.0]), np.array([226.0, 218.0, 210.0])
        bezel_colour = upper * (1 - t) + lower * t
        image = over(image, bezel_colour, bezel)

        # The well itself covers exactly the read-out rectangle: dark and
        # nearly flat so that white text reads well everywhere on it.
        inside = (x > rect[0]) & (x < rect[2]) & (y > rect[1]) & (y < rect[3])
        depth = y - rect[1]
        well = np.array([30.0, 25.0, 22.0]) + np.clip(depth - 2, 0, 20)[..., None] * np.array(
            [0.45, 0.38, 0.32]
        )
        top_shadow = np.exp(-depth / 1.3) * 0.55 + np.exp(-(x - rect[0]) / 1.2) * 0.25
        well = well * (1 - np.clip(top_shadow, 0, 0.8))[..., None]
        image = np.where(inside[..., None], well, image)
    return image


def draw_help_badge(image):
    left, top, w, h = HOT_SPOT
    cx, cy = left + w / 2, top + h / 2
    x, y = grid(WIDTH, HEIGHT, SUPERSAMPLE)
    d = np.hypot(x - cx, y - cy) - 7.6
    disc = downsample(coverage(d, SUPERSAMPLE), SUPERSAMPLE)
    ring = downsample(coverage(np.abs(d + 0.7) - 0.7, SUPERSAMPLE), SUPERSAMPLE)
    image = over(image, [24, 10, 2], 0.5 * blur(shift(disc, 0, 1), 1.2))
    image = over(image, [110, 56, 22], disc)
    image = over(image, CREAM, ring)
    mark = text_mask(WIDTH, HEIGHT, "?", font("DejaVuSans-Bold.ttf", 12), (cx, cy + 0.5), "mm")
    return over(image, CREAM, mark)


def engraved(image, mask, colour, depth=1):
    """Lettering pressed into the plate: a dark edge above, a light one below."""
    image = over(image, [40, 16, 4], 0.65 * shift(mask, 0, -depth))
    image = over(image, [255, 214, 160], 0.22 * shift(mask, 0, depth))
    return over(image, colour, mask)


def draw_branding(image):
    # Down the right edge, in the strip right of the third panel.
    strip_centre = (338 + WIDTH) / 2 + 2
    big = rotated_text_mask(
        WIDTH, HEIGHT, "GLOWRASP", font("DejaVuSans-Bold.ttf", 21), (strip_centre - 6, 106), 2.2
    )
    small = rotated_text_mask(
        WIDTH, HEIGHT, "KESTRUNE", font("DejaVuSans.ttf", 10), (strip_centre + 15, 106), 4.2
    )
    image = engraved(image, big, CREAM)
    image = engraved(image, small, np.array([250.0, 200.0, 140.0]))

    # Along the bottom right, under the panels.
    word = text_mask(
        WIDTH, HEIGHT, "Kestrune Glowrasp", font("DejaVuSans-Bold.ttf", 17), (396, 222), "rs", 0.3
    )
    tag = text_mask(
        WIDTH,
        HEIGHT,
        "SIGNAL-DEPENDENT SMOOTHING SHAPER",
        font("DejaVuSans.ttf", 8),
        (396, 236),
        "rs",
        1.3,
    )
    image = engraved(image, word, CREAM)
    return engraved(image, tag, np.array([246.0, 196.0, 140.0]))


def backdrop_plate():
    return brushed_copper(seed=1907)


def backdrop():
    image = backdrop_plate()
    image = draw_panels(image)
    image = draw_captions(image)
    image = draw_readout_wells(image)
    image = draw_help_badge(image)
    return draw_branding(image)


# ---------------------------------------------------------------------------
# Help overlay

HELP_LINES = (
    ("title", "", "Kestrune Glowrasp"),
    ("sub", "", "Signal-dependent smoothing shaper  ·  Version 1.0"),
    ("body", "", "Design & DSP: the Kestrune team"),
    ("gap", "", ""),
    ("head", "", "Using the knobs"),
    ("item", "\u2194", "Drag horizontally to fine-tune a value"),
    ("item", "\u2195", "Drag vertically for coarse changes"),
    ("item", "\u21ba", "Double-click a knob to return it to its default"),
)


def help_overlay():
    image = backdrop_plate()

    card = (14, 12, WIDTH - 14, HEIGHT - 12)
    body = rounded_rect_mask(WIDTH, HEIGHT, card, 10)
    image = over(image, [20, 8, 2], 0.55 * blur(shift(body, 0, 3), 4.0))
    image = over(image, [26, 18, 14], 0.86 * body)
    edge = rounded_rect_mask(WIDTH, HEIGHT, card, 10) - rounded_rect_mask(
        WIDTH, HEIGHT, (card[0] + 1, card[1] + 1, card[2] - 1, card[3] - 1), 9
    )
    image = over(image, AMBER, 0.55 * edge)

    faces = {
        "title": (font("DejaVuSans-Bold.ttf", 22), CREAM, 30),
        "sub": (font("DejaVuSans-Oblique.ttf", 11), np.array([246.0, 196.0, 140.0]), 21),
        "body": (font("DejaVuSans.ttf", 11), CREAM * 0.92, 17),
        "gap": (None, None, 14),
        "head": (font("DejaVuSans-Bold.ttf", 12), AMBER * 1.05, 20),
        "item": (font("DejaVuSans.ttf", 11), CREAM, 18),
    }
    x0, baseline = 34, 44
    icon_face = font("DejaVuSans-Bold.ttf", 13)
    for kind, icon, text in HELP_LINES:
        face, colour, step = faces[kind]
        if face is not None:
            indent = 20 if icon else 0
            if icon:
                mark = text_mask(WIDTH, HEIGHT, icon, icon_face, (x0 + 6, baseline - 4), "mm")
                image = over(image, AMBER * 1.05, mark)
            mask = text_mask(WIDTH, HEIGHT, text, face, (x0 + indent, baseline), "ls")
            image = over(image, np.minimum(colour, 255), mask)
        if kind == "title":
            rule_rect = (x0, baseline + 7, x0 + 60, baseline + 8.6)
            rule = rounded_rect_mask(WIDTH, HEIGHT, rule_rect, 0.8)
            image = over(image, AMBER, rule)
            baseline += 6
        baseline += step

    close = text_mask(
        WIDTH,
        HEIGHT,
        "Click anywhere to close this help",
        font("DejaVuSans-Oblique.ttf", 10),
        (WIDTH / 2, 225),
        "ms",
    )
    return over(image, np.array([230.0, 200.0, 165.0]), close)


# ---------------------------------------------------------------------------
# Knob filmstrip


def frame_angle(index):
    return MIN_ANGLE + (MAX_ANGLE - MIN_ANGLE) * index / (FRAME_COUNT - 1)


def knob_frame(angle_deg):
    """One 74 × 74 knob rendering, pointer at angle_deg clockwise from 12 o'clock."""
    s = SUPERSAMPLE
    x, y = grid(KNOB_SIZE, KNOB_SIZE, s)
    c = KNOB_SIZE / 2
    dx, dy = x - c, y - c
    r = np.hypot(dx, dy)
    theta = np.degrees(np.arctan2(dx, -dy))  # clockwise from 12 o'clock
    light = np.radians(-40.0)  # light from the upper left
    facing = (dx * math.sin(light) - dy * math.cos(light)) / np.maximum(r, 1e-6)

    image = np.full((px(KNOB_SIZE) * s, px(KNOB_SIZE) * s, 3), 255.0)

    # Scale: a pale track from minimum to maximum, lit in amber up to the value.
    arc_radius, arc_half = 32.2, 1.35
    track = arc_distance(r, theta, dx, dy, arc_radius, arc_half, MIN_ANGLE, MAX_ANGLE)
    image = over(image, [226, 220, 214], coverage(track, s))
    if angle_deg > MIN_ANGLE:
        value = arc_distance(r, theta, dx, dy, arc_radius, arc_half, MIN_ANGLE, angle_deg)
        image = over(image, AMBER, coverage(value, s))

    # Shadow of the knob on the panel.
    body_r = 27.0
    shadow = downsample(coverage(np.hypot(dx, dy - 1.6) - body_r + 0.5, s), s)
    shadow = np.kron(blur(shadow, 1.8), np.ones((s, s)))
    image = over(image, [40, 26, 18], 0.42 * shadow)

    # Skirt: graphite with fine knurling that turns with the pointer.
    grooves = 0.5 + 0.5 * np.cos(np.radians(theta - angle_deg) * 40)
    skirt_lum = 46 + 22 * facing + 14 * grooves
    skirt = np.stack([skirt_lum * 1.02, skirt_lum * 0.98, skirt_lum * 0.95], axis=-1)
    image = over(image, skirt, coverage(r - body_r, s))

    # Bevelled rim at the skirt's edge.
    rim = coverage(np.abs(r - (body_r - 0.9)) - 0.9, s)
    rim_colour = (90 + 70 * facing)[..., None] * np.array([1.0, 0.97, 0.93])
    image = over(image, rim_colour, rim * 0.9)

    # Groove between skirt and cap, then the domed cap lit from the upper left.
    cap_r = 20.5
    image = over(image, [14, 12, 11], coverage(r - (cap_r + 1.2), s))
    hx, hy = c - 7.0, c - 9.0
    h = np.clip(np.hypot(x - hx, y - hy) / (cap_r * 1.6), 0, 1)
    cap_lum = 104 - 76 * h ** 0.8
    cap = np.stack([cap_lum * 1.03, cap_lum * 0.99, cap_lum * 0.96], axis=-1)
    image = over(image, cap, coverage(r - cap_r, s))
    # Thin highlight on the cap's upper-left edge.
    edge = coverage(np.abs(r - (cap_r - 0.6)) - 0.5, s) * np.clip(facing, 0, 1)
    image = over(image, [200, 192, 184], 0.55 * edge)

    # Pointer: a bright amber line from near the centre to the cap's edge.
    a = np.radians(angle_deg)
    ux, uy = math.sin(a), -math.cos(a)
    pointer = segment_distance(dx, dy, ux * 7.5, uy * 7.5, ux * 17.5, uy * 17.5) - 1.35
    glow = downsample(coverage(pointer - 1.4, s), s)
    image = over(image, AMBER, 0.35 * np.kron(blur(glow, 1.0), np.ones((s, s))))
    image = over(image, [255, 196, 110], coverage(pointer, s))
    # A notch on the skirt continues the pointer line.
    notch = segment_distance(dx, dy, ux * 22.8, uy * 22.8, ux * 25.6, uy * 25.6) - 0.9
    image = over(image, [236, 226, 214], coverage(notch, s))

    return downsample(image, s)


def arc_distance(r, theta, dx, dy, radius, half_width, start, end):
    """Distance to a round-capped arc from start to end degrees (clockwise from 12)."""
    on_arc = (theta >= start) & (theta <= end)
    ring = np.abs(r - radius) - half_width
    caps = []
    for a in (start, end):
        ex, ey = radius * math.sin(math.radians(a)), -radius * math.cos(math.radians(a))
        caps.append(np.hypot(dx - ex, dy - ey) - half_width)
    return np.where(on_arc, ring, np.minimum(*caps))


def segment_distance(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = np.clip(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy), 0, 1)
    return np.hypot(px - ax - t * vx, py - ay - t * vy)


def knob_strip():
    size = px(KNOB_SIZE)
    strip = np.zeros((size * FRAMES_Y, size * FRAMES_X, 3))
    for i in range(FRAME_COUNT):
        col, row = i % FRAMES_X, i // FRAMES_X
        strip[row * size : (row + 1) * size, col * size : (col + 1) * size] = knob_frame(
            frame_angle(i)
        )
    return strip


# ---------------------------------------------------------------------------
# Output


def to_image(array):
    return Image.fromarray(np.clip(np.round(array), 0, 255).astype(np.uint8), "RGB")


def save_jpeg(array, path, quality=JPEG_QUALITY):
    """Baseline JFIF 1.02, 4:4:4, square pixels."""
    to_image(array).save(
        path, "JPEG", quality=quality, subsampling=0, progressive=False, optimize=True, dpi=(72, 72)
    )
    data = bytearray(path.read_bytes())
    if data[:4] != b"\xff\xd8\xff\xe0" or data[6:11] != b"JFIF\0":
        raise SystemExit(f"{path}: no JFIF header")
    data[11:13] = b"\x01\x02"
    path.write_bytes(bytes(data))


def preview(background, strip, path):
    """The editor as it looks with every knob at frame 30."""
    sys.path.insert(0, str(pathlib.Path(__file__).parent))
    import make_font

    face = ImageFont.truetype(
        make_font.FONT_FILE, make_font.PIXEL_SIZE, layout_engine=ImageFont.Layout.BASIC
    )
    image = background.copy()
    frame = strip[3 * KNOB_SIZE : 4 * KNOB_SIZE, 0:KNOB_SIZE]  # frame 30: row 3, column 0
    for left in KNOB_LEFTS:
        image[KNOB_TOP : KNOB_TOP + KNOB_SIZE, left : left + KNOB_SIZE] = frame
    for left, text in zip(READOUT_LEFTS, ("0.0 dB", "100.0 %", "0.0 dB")):
        glyphs = [make_font.rasterise(face, ord(ch)) for ch in text]
        width = sum(g[0] for g in glyphs)
        pen_x = left + (READOUT_WIDTH - width) // 2
        top = READOUT_TOP + (READOUT_HEIGHT - make_font.LINE_HEIGHT) // 2
        for advance, ox, oy, cov in glyphs:
            h, w = cov.shape
            region = image[top + oy : top + oy + h, pen_x + ox : pen_x + ox + w]
            region[:] = over(region, WHITE, cov / 255.0)
            pen_x += advance
    to_image(image).save(path)


DENSITIES = (1, 2, 3)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", type=pathlib.Path, help="also write an editor mock-up PNG")
    args = parser.parse_args()

    global DENSITY
    RESOURCES.mkdir(exist_ok=True)
    for density in DENSITIES:
        DENSITY = density
        suffix = "" if density == 1 else f"@{density}x"
        save_jpeg(backdrop(), RESOURCES / f"background{suffix}.jpg")
        save_jpeg(help_overlay(), RESOURCES / f"help{suffix}.jpg")
        save_jpeg(knob_strip(), RESOURCES / f"knob{suffix}.jpg", KNOB_JPEG_QUALITY)
    DENSITY = 1
    if args.preview:
        # From the written files, so the preview shows the JPEG artefacts too.
        names = ("background.jpg", "knob.jpg")
        decoded = [np.asarray(Image.open(RESOURCES / n), dtype=float) for n in names]
        preview(*decoded, args.preview)


if __name__ == "__main__":
    main()
