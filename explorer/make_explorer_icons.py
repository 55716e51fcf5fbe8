#!/usr/bin/env python3
"""Generate the explorer's icons (tab pictures, the generic program picture
and the picture labels) into explorer/icons/, with the shape helpers of
tools/make_icons.py.  Deterministic: run from the project root as
    python3 explorer/make_explorer_icons.py
"""
import math
import os
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import make_icons as mi  # noqa: E402

OUT_DIR = os.path.join("explorer", "icons")
DARK = mi.rgb("#202830")


def tile(colour_top, colour_bottom, rim):
    """Rounded square background of a tab picture."""
    shape = mi.polygon([(0.12, 0.12), (0.88, 0.12), (0.88, 0.88), (0.12, 0.88)], 0.08)
    return [(shape, mi.vgradient(colour_top, colour_bottom), 1.0, mi.rgb(rim))]


def white(shape, outline=0):
    return (shape, mi.rgb("#ffffff"), outline, DARK if outline else None)


def startup():       # a play arrow: programs that start by themselves
    return tile("#6fdc8c", "#1f8a4c", "#0f4a28") + [
        white(mi.polygon([(0.36, 0.28), (0.74, 0.5), (0.36, 0.72)], 0.02))]


def delay():         # a clock face
    face = mi.circle(0.5, 0.5, 0.27)
    return tile("#ffd070", "#d98a10", "#6a3e00") + [
        white(face), (mi.segment(0.5, 0.5, 0.5, 0.32, 0.035), DARK, 0, None),
        (mi.segment(0.5, 0.5, 0.63, 0.56, 0.035), DARK, 0, None)]


def globe():         # IE helpers
    ring = mi.circle(0.5, 0.5, 0.28)
    return tile("#6aa8f0", "#1f4fa8", "#0f2a5c") + [
        white(ring), (mi.cut(mi.ellipse(0.5, 0.5, 0.12, 0.28), mi.ellipse(0.5, 0.5, 0.07, 0.24)),
                      mi.rgb("#1f4fa8"), 0, None),
        (mi.clip(mi.segment(0.2, 0.5, 0.8, 0.5, 0.025), ring), mi.rgb("#1f4fa8"), 0, None)]


def calendar():      # scheduled tasks
    page = mi.polygon([(0.26, 0.3), (0.74, 0.3), (0.74, 0.76), (0.26, 0.76)], 0.02)
    top = mi.polygon([(0.26, 0.3), (0.74, 0.3), (0.74, 0.42), (0.26, 0.42)], 0.02)
    return tile("#c9a0f0", "#6a32a8", "#36145c") + [
        white(page), (top, mi.rgb("#e04040"), 0, None),
        (mi.union(*[mi.circle(0.36 + 0.14 * i, 0.52 + 0.13 * j, 0.035) for i in range(3) for j in range(2)]),
         DARK, 0, None)]


def gear():          # services
    teeth = mi.union(*[mi.rotated(mi.polygon([(0.45, 0.2), (0.55, 0.2), (0.55, 0.34), (0.45, 0.34)]),
                                  a, 0.5, 0.5) for a in range(0, 360, 45)])
    body = mi.union(mi.circle(0.5, 0.5, 0.2), teeth)
    return tile("#b0b8c0", "#506070", "#283038") + [
        white(mi.cut(body, mi.circle(0.5, 0.5, 0.08)))]


def bars():          # active tasks
    return tile("#ff9a8a", "#c83e2e", "#5a0a0a") + [
        white(mi.polygon([(0.28, 0.5 - 0.02), (0.36, 0.48), (0.36, 0.74), (0.28, 0.74)])),
        white(mi.polygon([(0.46, 0.34), (0.54, 0.34), (0.54, 0.74), (0.46, 0.74)])),
        white(mi.polygon([(0.64, 0.26), (0.72, 0.26), (0.72, 0.74), (0.64, 0.74)]))]


def cookie():
    return tile("#f0d8a8", "#c89858", "#6a4a18") + [
        (mi.circle(0.5, 0.5, 0.27), mi.rgb("#b87838"), 1.0, mi.rgb("#5a3a10")),
        (mi.union(mi.circle(0.42, 0.42, 0.04), mi.circle(0.6, 0.46, 0.04), mi.circle(0.48, 0.62, 0.04)),
         mi.rgb("#3a2008"), 0, None)]


def document():      # file types
    sheet = mi.polygon([(0.3, 0.22), (0.6, 0.22), (0.72, 0.34), (0.72, 0.8), (0.3, 0.8)])
    return tile("#80e0e0", "#208888", "#0a4040") + [
        white(sheet), (mi.polygon([(0.6, 0.22), (0.72, 0.34), (0.6, 0.34)]), mi.rgb("#a0c0c0"), 0, None),
        (mi.union(*[mi.segment(0.38, 0.46 + 0.1 * k, 0.64, 0.46 + 0.1 * k, 0.02) for k in range(3)]),
         DARK, 0, None)]


def eye():           # hidden files
    outer = mi.union(mi.ellipse(0.5, 0.5, 0.3, 0.16))
    return tile("#9090a0", "#404050", "#202028") + [
        white(outer), (mi.circle(0.5, 0.5, 0.1), mi.rgb("#2050a0"), 0, None),
        (mi.circle(0.5, 0.5, 0.045), DARK, 0, None)]


def sliders():       # options
    lines = mi.union(*[mi.segment(0.28, y, 0.72, y, 0.025) for y in (0.34, 0.5, 0.66)])
    knobs = mi.union(mi.circle(0.4, 0.34, 0.06), mi.circle(0.62, 0.5, 0.06), mi.circle(0.46, 0.66, 0.06))
    return tile("#f0b0d0", "#a03070", "#501838") + [white(lines), white(knobs, 0.8)]


def program():       # generic program file: a window
    frame = mi.polygon([(0.16, 0.22), (0.84, 0.22), (0.84, 0.8), (0.16, 0.8)], 0.02)
    bar = mi.polygon([(0.16, 0.22), (0.84, 0.22), (0.84, 0.34), (0.16, 0.34)], 0.02)
    return [(frame, mi.rgb("#f4f4f4"), 1.0, mi.rgb("#404850")), (bar, mi.rgb("#2f6fd0"), 0, None)]


def help_label():    # a blue disc with a question mark drawn from shapes
    arc = mi.cut(mi.circle(0.5, 0.4, 0.14), mi.circle(0.5, 0.4, 0.07))
    arc = mi.cut(arc, mi.polygon([(0.2, 0.42), (0.5, 0.42), (0.5, 0.7), (0.2, 0.7)]))
    stem = mi.segment(0.5, 0.5, 0.5, 0.6, 0.035)
    dot = mi.circle(0.5, 0.72, 0.045)
    return [(mi.circle(0.5, 0.5, 0.46), mi.vgradient("#6aa8f0", "#1f4fa8"), 1.0, mi.rgb("#0f2a5c")),
            white(mi.union(arc, stem, dot))]


ICONS = [  # file, resource id, scene (function or (scheme, pose, marks))
    ("program.ico", 115, program), ("startup.ico", 174, startup), ("delay.ico", 200, delay),
    ("iehelpers.ico", 180, globe), ("tasks_scheduled.ico", 182, calendar), ("services.ico", 173, gear),
    ("tasks_active.ico", 176, bars), ("cookies.ico", 183, cookie), ("filetypes.ico", 179, document),
    ("hidden.ico", 198, eye), ("options.ico", 181, sliders), ("help_label.ico", 2301, help_label),
    ("monitor_off.ico", 2302, ("classic", "calm", [])),
    ("monitor_on.ico", 2303, ("idle", "calm", [])),
    ("monitor_realtime.ico", 2304, ("patrol", "sniff", ["sniff"])),
]


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for name, res_id, what in ICONS:
        images = []
        for size in mi.SIZES:
            layers = mi.scene(*what, size) if isinstance(what, tuple) else what()
            images.append((size, mi.dib(mi.render(layers, size))))
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(mi.ico(images))
        print("wrote %s (resource %d)" % (os.path.join(OUT_DIR, name), res_id))


if __name__ == "__main__":
    main()
