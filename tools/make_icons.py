#!/usr/bin/env python3
"""Generate Sentrel's icons (Wuffin the watchdog) into resources/icons/.

Every picture is described as layers of signed-distance shapes in a unit
square (x to the right, y downwards, negative distance = inside).  Each
layer is sampled SS x SS times per pixel and averaged, which gives clean
anti-aliased edges without any imaging library.  Output is a .ico with a
16x16 and a 32x32 image, 32-bit BGRA plus the 1-bit AND mask.

The output is deterministic: run from the project root as
    python3 tools/make_icons.py
and commit the regenerated files together with any change to this script.
"""
import math
import os
import struct

SS = 4                 # supersampling factor per axis
SIZES = (16, 32)       # image sizes stored in every .ico, smallest first
OUT_DIR = os.path.join("resources", "icons")


# --- Signed-distance primitives ---------------------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry, angle=0.0):
    """Ellipse rotated clockwise (on screen) by angle degrees. Approximate
    distance, exact on the outline, which is all anti-aliasing needs."""
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))

    def sdf(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * c + dy * s, -dx * s + dy * c
        return (math.hypot(u / rx, v / ry) - 1.0) * min(rx, ry)
    return sdf


def segment(x0, y0, x1, y1, r):
    """Capsule: all points within r of the segment (x0,y0)-(x1,y1)."""
    vx, vy = x1 - x0, y1 - y0
    vv = vx * vx + vy * vy

    def sdf(x, y):
        t = max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / vv))
        return math.hypot(x - x0 - t * vx, y - y0 - t * vy) - r
    return sdf


def polygon(points, r=0.0):
    """Polygon, optionally grown by r with rounded corners."""
    edges = list(zip(points, points[1:] + points[:1]))

    def sdf(x, y):
        best, inside = float("inf"), False
        for (ax, ay), (bx, by) in edges:
            ex, ey = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * ex + (y - ay) * ey) / (ex * ex + ey * ey)))
            best = min(best, math.hypot(x - ax - t * ex, y - ay - t * ey))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / (ey or 1e-12):
                inside = not inside
        return (-best if inside else best) - r
    return sdf


def union(*shapes):
    return lambda x, y: min(f(x, y) for f in shapes)


def clip(shape, to):
    """The part of shape that lies inside `to`."""
    return lambda x, y: max(shape(x, y), to(x, y))


def cut(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


def rotated(shape, angle, px, py):
    """Shape turned clockwise by angle degrees about (px, py)."""
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    return lambda x, y: shape(px + (x - px) * c + (y - py) * s,
                              py - (x - px) * s + (y - py) * c)


def rgb(hexcode):
    return tuple(int(hexcode[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


def vgradient(top, bottom):
    """Fill colour that blends from `top` (y=0) to `bottom` (y=1)."""
    a, b = rgb(top), rgb(bottom)
    return lambda x, y: tuple(p + (q - p) * y for p, q in zip(a, b))


# --- Colour schemes -----------------------------------------------------------

# badge gradient top/bottom and rim, dog face, ear, outline, collar
SCHEMES = {
    "idle":    dict(badge=("#5fd38a", "#1f8a4c", "#0f4a28"), face="#f6e7c8",
                    ear="#9a5b2e", line="#2b1a10", collar="#2f6fd0"),
    "patrol":  dict(badge=("#6aa8f0", "#1f4fa8", "#0f2a5c"), face="#f6e7c8",
                    ear="#9a5b2e", line="#2b1a10", collar="#f0a020"),
    "change":  dict(badge=("#ffd070", "#d98a10", "#6a3e00"), face="#f6e7c8",
                    ear="#9a5b2e", line="#2b1a10", collar="#2f6fd0"),
    "alert":   dict(badge=("#ff7a6a", "#c81e1e", "#5a0a0a"), face="#f6e7c8",
                    ear="#9a5b2e", line="#2b1a10", collar="#202020"),
    # Flat 16-colour look for the classic shell: teal badge, silver dog.
    "classic": dict(badge=("#008080", "#008080", "#000000"), face="#c0c0c0",
                    ear="#808080", line="#000000", collar="#800000"),
}


# --- Scene --------------------------------------------------------------------
# A scene is a list of layers painted bottom to top.  A layer is
# (shape, fill, outline width in pixels, outline colour); the outline is
# drawn just outside the shape, and fill may be a function of (x, y).

BADGE = circle(0.5, 0.5, 0.46)


def dog_layers(s, small, pose):
    """Wuffin in profile, facing right. pose: 'calm', 'sniff' or 'bark'."""
    # At 16x16 a dark brown outline smears into the face, so the outline
    # there is the badge's rim colour: it still separates dog from badge.
    line, line_col = (1.0, rgb(s["badge"][2])) if small else (1.2, rgb(s["line"]))
    if small and pose == "bark":                     # an open mouth is mush at 16x16
        pose = "calm"
    tilt = {"sniff": 14.0, "bark": -6.0}.get(pose, 0.0)   # nose down / head up
    turn = lambda f: rotated(f, tilt, 0.40, 0.64)

    head = circle(0.42, 0.45, 0.20)
    neck = clip(polygon([(0.25, 0.52), (0.52, 0.58), (0.60, 1.0), (0.22, 1.0)]), BADGE)
    if pose == "bark":
        snout = ellipse(0.64, 0.47, 0.19, 0.075, -8)         # upper jaw, lifted
        jaw = ellipse(0.61, 0.66, 0.13, 0.045, 38)            # lower jaw, dropped
        mouth = polygon([(0.50, 0.56), (0.81, 0.50), (0.72, 0.74)])
        fang = polygon([(0.70, 0.53), (0.77, 0.52), (0.745, 0.62)])
        muzzle = union(snout, jaw, mouth)
    else:
        snout = ellipse(0.63, 0.52, 0.20, 0.10)
        muzzle = snout
    ear = ellipse(0.34, 0.47, 0.08, 0.18, 16)
    # The eye sits on a pixel centre at either size so it stays one crisp dot.
    eye = circle(0.53, 0.405, 0.04) if small else circle(0.5156, 0.3906, 0.036)
    nose = ellipse(0.81, 0.45 if pose == "bark" else 0.49, 0.06, 0.048)
    collar = clip(polygon([(0.18, 0.76), (0.64, 0.80), (0.64, 0.88), (0.18, 0.85)]), neck)

    # One silhouette for neck, head and muzzle so no seams show between them.
    layers = [(union(neck, turn(union(head, muzzle))), rgb(s["face"]), line, line_col)]
    if pose == "bark":                               # open mouth, then the jaws over it
        layers += [(turn(mouth), rgb("#6a0606"), 0, None),
                   (turn(union(snout, jaw)), rgb(s["face"]), 0, None)]
        if not small:
            layers.append((turn(fang), rgb("#ffffff"), 0, None))
    if not small:
        layers.append((collar, rgb(s["collar"]), 0.8, rgb(s["line"])))
        if pose != "bark":                           # mouth line under the snout
            lip = segment(0.80, 0.575, 0.62, 0.59, 0.013)
            layers.append((turn(lip), rgb(s["line"]), 0, None))
    layers += [(turn(ear), rgb(s["ear"]), 0 if small else 0.8, rgb(s["line"])),
               (turn(eye), rgb(s["line"]), 0, None),
               (turn(nose), rgb(s["line"]), 0, None)]
    return layers


def mark_layers(kind, small):
    """Small state mark; overlays sit bottom right, clear of the muzzle."""
    dark = rgb("#202020")
    if kind == "sniff":                                   # scent puffs ahead of the nose
        amber = rgb("#ffc030")
        dots = [(0.86, 0.66, 0.05), (0.90, 0.52, 0.045)] if small else \
               [(0.86, 0.68, 0.04), (0.91, 0.57, 0.035), (0.88, 0.46, 0.03)]
        return [(circle(x, y, r), amber, 0.8, dark) for x, y, r in dots]
    if kind == "lens":                                    # magnifying glass
        r, w = (0.17, 0.065) if small else (0.14, 0.04)
        glass = circle(0.76, 0.76, r)
        return [(segment(0.86, 0.86, 0.95, 0.95, w * 0.9), dark, 0, None),
                (glass, rgb("#cfe8ff"), 0 if small else 0.8, dark),
                (cut(glass, circle(0.76, 0.76, r - w)), dark, 0, None)]
    if kind == "warn":                                    # warning triangle with '!'
        if small:   # '!' placed on whole pixels so it stays sharp at 16x16
            tri = polygon([(0.71875, 0.54), (0.98, 0.99), (0.4575, 0.99)])
            bar = segment(0.71875, 0.70, 0.71875, 0.79, 0.032)
            dot = circle(0.71875, 0.906, 0.032)
        else:
            tri = polygon([(0.80, 0.62), (0.97, 0.94), (0.63, 0.94)], 0.02)
            bar = segment(0.80, 0.72, 0.80, 0.82, 0.028)
            dot = circle(0.80, 0.885, 0.03)
        return [(tri, rgb("#ffd800"), 0.8, dark), (union(bar, dot), dark, 0, None)]
    return []


ICONS = [  # file, resource id, scheme, pose, marks
    ("idle.ico",         101, "idle",    "calm",  []),
    ("patrol_a.ico",     157, "patrol",  "sniff", ["sniff"]),
    ("patrol_b.ico",     158, "change",  "calm",  ["lens"]),
    ("idle_classic.ico", 159, "classic", "calm",  []),
    ("alert.ico",        161, "alert",   "bark",  ["warn"]),
]


def scene(scheme, pose, marks, size):
    s = SCHEMES[scheme]
    small = size <= 16
    top, bottom, rim = s["badge"]
    layers = [(BADGE, vgradient(top, bottom), 1.0, rgb(rim))]
    layers += dog_layers(s, small, pose)
    for m in marks:
        layers += mark_layers(m, small)
    return layers


# --- Rasterising and .ico encoding -------------------------------------------

def render(layers, size):
    """Return rows (top-down) of (r, g, b, a) bytes, sampled SS x SS per pixel."""
    px, n = 1.0 / size, SS * SS
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            acc, hits = [0.0, 0.0, 0.0], 0            # colour sum, covered samples
            for sj in range(SS):
                for si in range(SS):
                    x, y = (i + (si + 0.5) / SS) * px, (j + (sj + 0.5) / SS) * px
                    col = None                        # all colours are opaque, so
                    for shape, fill, stroke, stroke_col in layers:   # topmost wins
                        d = shape(x, y)
                        if d <= 0:
                            col = fill(x, y) if callable(fill) else fill
                        elif stroke and d <= stroke * px:
                            col = stroke_col
                    if col:
                        acc = [a + b for a, b in zip(acc, col)]
                        hits += 1
            col = [v / hits if hits else 0.0 for v in acc] + [hits / float(n)]
            row.append(tuple(int(round(v * 255)) for v in col))
        rows.append(row)
    return rows


def dib(rows):
    """BITMAPINFOHEADER + bottom-up BGRA rows + AND mask (1 = transparent)."""
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for i, (r, g, b, a) in enumerate(row):
            xor += bytes((b, g, r, a))
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico(images):
    """ICONDIR + one ICONDIRENTRY per image + the image data."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for name, res_id, scheme, pose, marks in ICONS:
        images = [(sz, dib(render(scene(scheme, pose, marks, sz), sz))) for sz in SIZES]
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(ico(images))
        print("wrote %s (resource %d)" % (os.path.join(OUT_DIR, name), res_id))


if __name__ == "__main__":
    main()
