#!/usr/bin/env python3
"""Writes the game's pictures as SVG files into resources/skin/.

One theme for every window: a green felt table in a walnut frame, ivory dice
with soft shadows, gold for what matters (bonus dice, the winner). The files
keep to what Qt's SVG renderer draws (gradients, paths, text; no filters), so
soft shadows are stacked translucent shapes. Run it again after a change and
commit the files it writes; the build only reads them.
"""

import math
import random
from pathlib import Path

OUT = Path(__file__).resolve().parent.parent / "resources" / "skin"
FONT = "DejaVu Sans"

# The theme's colours (the windows' own painting uses the same, see SkinArt.h).
FELT = "#1d6b3a"
FELT_LIGHT = "#2f8f52"
FELT_DARK = "#0e4424"
WOOD = "#6b3f1f"
WOOD_LIGHT = "#b07a45"
WOOD_DARK = "#3e2210"
IVORY = "#fbf6e6"
INK = "#2b1b10"
GOLD = "#e8b53a"
GOLD_LIGHT = "#ffe8a3"
GOLD_DARK = "#9a6a15"
MAROON = "#7a1f1f"
CREAM = "#fff3d6"


def svg(width, height, body, defs=""):
    defs_block = f"<defs>{defs}</defs>" if defs else ""
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
        f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">'
        f"{defs_block}{body}</svg>\n"
    )


def linear(gid, stops, x1=0, y1=0, x2=0, y2=1):
    parts = "".join(
        f'<stop offset="{o}" stop-color="{c}"' + (f' stop-opacity="{a}"' if a is not None else "") + "/>"
        for o, c, a in (s if len(s) == 3 else (s[0], s[1], None) for s in stops)
    )
    return f'<linearGradient id="{gid}" x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}">{parts}</linearGradient>'


def radial(gid, stops, cx=0.5, cy=0.5, r=0.5, fx=None, fy=None):
    fx = cx if fx is None else fx
    fy = cy if fy is None else fy
    parts = "".join(
        f'<stop offset="{o}" stop-color="{c}"' + (f' stop-opacity="{a}"' if a is not None else "") + "/>"
        for o, c, a in (s if len(s) == 3 else (s[0], s[1], None) for s in stops)
    )
    return (
        f'<radialGradient id="{gid}" cx="{cx}" cy="{cy}" r="{r}" fx="{fx}" fy="{fy}">'
        f"{parts}</radialGradient>"
    )


def soft_shadow(x, y, w, h, rx, strength=0.22, spread=3):
    """A blurred shadow made of nested translucent rounded rectangles."""
    layers = []
    for i in range(spread, 0, -1):
        layers.append(
            f'<rect x="{x - i * 0.6}" y="{y - i * 0.6}" width="{w + i * 1.2}" height="{h + i * 1.2}" '
            f'rx="{rx + i * 0.6}" fill="#000" fill-opacity="{strength / (spread + 1):.3f}"/>'
        )
    layers.append(f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{rx}" fill="#000" '
                  f'fill-opacity="{strength / 2:.3f}"/>')
    return "".join(layers)


def text(x, y, content, size, fill, weight="bold", anchor="middle", spacing=None, extra=""):
    letter = f' letter-spacing="{spacing}"' if spacing is not None else ""
    return (
        f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" font-weight="{weight}" '
        f'fill="{fill}" text-anchor="{anchor}"{letter} {extra}>{content}</text>'
    )


# ------------------------------------------------------------------ dice

PIPS = {
    1: [(0, 0)],
    2: [(-1, -1), (1, 1)],
    3: [(-1, -1), (0, 0), (1, 1)],
    4: [(-1, -1), (1, -1), (-1, 1), (1, 1)],
    5: [(-1, -1), (1, -1), (0, 0), (-1, 1), (1, 1)],
    6: [(-1, -1), (1, -1), (-1, 0), (1, 0), (-1, 1), (1, 1)],
}


def die(face, bonus, size=32, with_shadow=True):
    """A die filling a size x size square, its body 28/32 of it, shadow below right."""
    s = size / 32
    body_x, body_y, body = 1.5 * s, 1.0 * s, 27.5 * s
    rx = 6 * s
    if bonus:
        face_stops = [(0, "#fff4c2"), (0.55, "#f3c75a"), (1, "#d4962a")]
        edge, pip_in, pip_out = "#8a5a10", "#d8322a", "#7a0c0c"
    else:
        face_stops = [(0, "#ffffff"), (0.6, "#faf4e2"), (1, "#e9dfc4")]
        edge, pip_in, pip_out = "#a8977a", "#4a3a30", "#120a06"
    defs = (
        linear("face", face_stops, 0, 0, 1, 1)
        + radial("gloss", [(0, "#ffffff", 0.85), (1, "#ffffff", 0)], 0.3, 0.22, 0.55)
        + radial("pip", [(0, pip_in), (1, pip_out)], 0.4, 0.35, 0.6)
    )
    parts = []
    if with_shadow:
        parts.append(soft_shadow(body_x + 1.6 * s, body_y + 2.2 * s, body, body, rx, 0.35, 3))
    parts.append(
        f'<rect x="{body_x}" y="{body_y}" width="{body}" height="{body}" rx="{rx}" '
        f'fill="url(#face)" stroke="{edge}" stroke-width="{0.9 * s:.2f}"/>'
    )
    # A rim of light along the top-left edge and a gloss spot give the body its curve.
    parts.append(
        f'<rect x="{body_x + 1.2 * s}" y="{body_y + 1.2 * s}" width="{body - 2.4 * s}" '
        f'height="{body - 2.4 * s}" rx="{rx - 1.2 * s}" fill="url(#gloss)" '
        f'stroke="#ffffff" stroke-opacity="0.55" stroke-width="{0.8 * s:.2f}"/>'
    )
    cx, cy = body_x + body / 2, body_y + body / 2
    step = 7.6 * s
    r = 2.85 * s if face != 1 else 3.6 * s
    for dx, dy in PIPS[face]:
        px, py = cx + dx * step, cy + dy * step
        parts.append(
            f'<circle cx="{px:.2f}" cy="{py + 0.5 * s:.2f}" r="{r:.2f}" fill="#ffffff" fill-opacity="0.7"/>'
        )
        parts.append(f'<circle cx="{px:.2f}" cy="{py:.2f}" r="{r:.2f}" fill="url(#pip)"/>')
    return defs, "".join(parts)


def die_file(face, bonus):
    defs, body = die(face, bonus)
    return svg(32, 32, body, defs)


def roll_mark(count):
    """A small die for the roll counter, 20 x 20."""
    defs, body = die(count, False, size=20)
    return svg(20, 20, body, defs)


# ------------------------------------------------------------------ table

def felt_fibres(width, height, count, seed):
    rng = random.Random(seed)
    lines = []
    for _ in range(count):
        x, y = rng.uniform(0, width), rng.uniform(0, height)
        angle = rng.uniform(0, math.pi)
        length = rng.uniform(2, 5)
        x2, y2 = x + math.cos(angle) * length, y + math.sin(angle) * length
        light = rng.random() < 0.5
        lines.append(
            f'<line x1="{x:.1f}" y1="{y:.1f}" x2="{x2:.1f}" y2="{y2:.1f}" '
            f'stroke="{"#ffffff" if light else "#000000"}" stroke-opacity="{0.05 if light else 0.07}" '
            f'stroke-width="0.8"/>'
        )
    return "".join(lines)


def table_felt():
    w, h = 484, 312
    defs = (
        radial("felt", [(0, "#3a9c5c"), (0.55, FELT), (1, "#0b3a1e")], 0.42, 0.42, 0.75)
        + linear("topshade", [(0, "#000", 0.35), (1, "#000", 0)])
        + linear("leftshade", [(0, "#000", 0.25), (1, "#000", 0)], 0, 0, 1, 0)
    )
    body = [f'<rect width="{w}" height="{h}" fill="url(#felt)"/>']
    body.append(felt_fibres(w, h, 900, 7))
    # The frame's shadow falls on the cloth along the top and left.
    body.append(f'<rect width="{w}" height="10" fill="url(#topshade)"/>')
    body.append(f'<rect width="10" height="{h}" fill="url(#leftshade)"/>')
    # The table's printing: a ring and the name, faint, clear of the dice and the tray.
    body.append(
        f'<ellipse cx="200" cy="142" rx="150" ry="92" fill="none" stroke="{GOLD_LIGHT}" '
        f'stroke-opacity="0.16" stroke-width="2"/>'
        f'<ellipse cx="200" cy="142" rx="142" ry="85" fill="none" stroke="{GOLD_LIGHT}" '
        f'stroke-opacity="0.10" stroke-width="1"/>'
    )
    body.append(text(200, 152, "DUNVEX", 40, "#ffffff", spacing=10, extra='fill-opacity="0.10"'))
    body.append(text(200, 176, "ROLL \u2022 KEEP \u2022 SCORE", 10, "#ffffff", spacing=3,
                     extra='fill-opacity="0.13"'))
    # A thin brass line inside the edge and a dark line at the very edge.
    body.append(f'<rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" fill="none" '
                f'stroke="#06200f" stroke-opacity="0.8"/>')
    return svg(w, h, "".join(body), defs)


def keep_tray():
    w, h = 58, 181
    defs = (
        linear("wood", [(0, "#9a6437"), (0.5, "#7a4823"), (1, "#54301a")], 0, 0, 1, 0)
        + linear("well", [(0, "#082a15"), (0.25, "#0f4626"), (1, "#165a32")])
    )
    body = [soft_shadow(3, 3, w - 4, h - 4, 7, 0.35, 2)]
    body.append(f'<rect x="1" y="1" width="{w - 4}" height="{h - 4}" rx="7" fill="url(#wood)" '
                f'stroke="{WOOD_DARK}" stroke-width="1"/>')
    # Grain lines along the frame.
    rng = random.Random(3)
    for i in range(9):
        x = 4 + i * 6 + rng.uniform(-1, 1)
        body.append(f'<path d="M{x:.1f},3 C{x + 2:.1f},60 {x - 2:.1f},120 {x + 1:.1f},{h - 5}" '
                    f'fill="none" stroke="#2a1608" stroke-opacity="0.18" stroke-width="0.8"/>')
    body.append(f'<rect x="1.5" y="1.5" width="{w - 5}" height="{h - 5}" rx="6.5" fill="none" '
                f'stroke="#e2b07a" stroke-opacity="0.45" stroke-width="1"/>')
    body.append(text((w - 2) / 2, 13, "KEEP", 9, CREAM, spacing=1.5))
    body.append(f'<rect x="6" y="16" width="{w - 14}" height="{h - 22}" rx="4" fill="url(#well)" '
                f'stroke="#05170b" stroke-width="1"/>')
    body.append(f'<rect x="6.5" y="{h - 7}" width="{w - 15}" height="1" fill="#ffffff" fill-opacity="0.15"/>')
    return svg(w, h, "".join(body), defs)


def pill_button(w, h, label, style, state):
    """The roll and start buttons: a lacquered pill with a bevel."""
    palettes = {
        "gold": ("#ffe39a", "#f0b640", "#c9861c", "#6e4308", "#3d2404"),
        "ivory": ("#ffffff", "#f6efd9", "#d9ccab", "#6b5a3c", "#0e4424"),
    }
    top, mid, bottom, edge, ink = palettes[style]
    if state == "hover":
        top, mid = "#ffffff", top
    defs = linear("face", [(0, top), (0.5, mid), (1, bottom)])
    defs += linear("shine", [(0, "#ffffff", 0.75), (1, "#ffffff", 0)])
    r = (h - 3) / 2
    push = 1 if state == "down" else 0
    body = []
    if state != "down":
        body.append(f'<rect x="1" y="2" width="{w - 2}" height="{h - 2}" rx="{r}" fill="#000" fill-opacity="0.35"/>')
    body.append(f'<rect x="0.5" y="{0.5 + push}" width="{w - 1}" height="{h - 2.5}" rx="{r}" '
                f'fill="url(#face)" stroke="{edge}" stroke-width="1"/>')
    body.append(f'<rect x="3" y="{1.5 + push}" width="{w - 6}" height="{(h - 3) / 2 - 1}" rx="{r - 2}" fill="url(#shine)"/>')
    body.append(text(w / 2 + push, h / 2 + 3.8 + push, label, 11, ink, spacing=0.6))
    return svg(w, h, "".join(body), defs)


def winner_banner():
    w, h = 233, 37
    defs = (
        linear("ribbon", [(0, "#ffe9a8"), (0.45, GOLD), (1, "#b7801e")])
        + linear("tail", [(0, "#a3262a"), (1, "#5e0f12")])
    )
    body = []
    # Tails behind the ribbon.
    body.append(f'<path d="M2,10 L26,10 L26,33 L2,33 L10,21.5 Z" fill="url(#tail)"/>')
    body.append(f'<path d="M{w - 2},10 L{w - 26},10 L{w - 26},33 L{w - 2},33 L{w - 10},21.5 Z" fill="url(#tail)"/>')
    body.append(f'<path d="M18,30 L26,34 L26,30 Z" fill="#3a0808"/>')
    body.append(f'<path d="M{w - 18},30 L{w - 26},34 L{w - 26},30 Z" fill="#3a0808"/>')
    body.append(f'<rect x="19" y="4" width="{w - 38}" height="27" rx="3" fill="#000" fill-opacity="0.3"/>')
    body.append(f'<rect x="18" y="2" width="{w - 36}" height="27" rx="3" fill="url(#ribbon)" '
                f'stroke="{GOLD_DARK}" stroke-width="1"/>')
    body.append(f'<rect x="21" y="5" width="{w - 42}" height="21" rx="2" fill="none" '
                f'stroke="#fff6d0" stroke-opacity="0.7" stroke-width="0.8"/>')
    body.append(text(w / 2, 21.5, "\u2605  WINNER  \u2605", 15, "#5a1a06", spacing=2))
    return svg(w, h, "".join(body), defs)


def bonus_plate():
    w, h = 44, 55
    defs = (
        linear("plate", [(0, "#a3262a"), (1, "#5a0e12")])
        + linear("rim", [(0, GOLD_LIGHT), (1, GOLD_DARK)])
    )
    body = [soft_shadow(2, 2, w - 3, h - 3, 6, 0.35, 2)]
    body.append(f'<rect x="0.5" y="0.5" width="{w - 2}" height="{h - 2}" rx="6" fill="url(#rim)"/>')
    body.append(f'<rect x="2" y="2" width="{w - 5}" height="{h - 5}" rx="5" fill="url(#plate)"/>')
    # The well where the bonus die sits (the die itself is placed at 4,4).
    body.append(f'<rect x="3" y="3" width="35" height="35" rx="6" fill="#000" fill-opacity="0.28"/>')
    body.append(text((w - 1.5) / 2, 49, "BONUS", 8.5, GOLD_LIGHT, spacing=0.4))
    return svg(w, h, "".join(body), defs)


def eyes():
    w, h = 24, 12
    body = []
    for cx in (6.5, 17.5):
        body.append(f'<ellipse cx="{cx}" cy="6" rx="5.6" ry="5.2" fill="#ffffff" stroke="{INK}" stroke-width="1"/>')
        body.append(f'<circle cx="{cx + 1.8}" cy="6.6" r="2.4" fill="#1f4e8c"/>')
        body.append(f'<circle cx="{cx + 1.9}" cy="6.6" r="1.2" fill="#0a0a0a"/>')
        body.append(f'<circle cx="{cx + 1.1}" cy="5.6" r="0.7" fill="#ffffff"/>')
    return svg(w, h, "".join(body))


# ------------------------------------------------------------------ phrase glyphs

GLYPH_W, GLYPH_H = 19, 15


def glyph(body, defs=""):
    return svg(GLYPH_W, GLYPH_H, body, defs)


def thumb(x, y, scale, fill):
    """A thumbs-up hand, its box about 12 x 13 at scale 1, origin top-left."""
    path = (
        "M3.2,6 L5.6,6 L7.2,2.2 C7.5,1.2 8.2,0.6 9,0.8 C9.9,1 10.1,1.9 9.8,2.8 L9.1,5.2 "
        "L12.4,5.2 C13.4,5.2 14,6 13.8,6.9 L12.9,11.4 C12.7,12.2 12.1,12.7 11.3,12.7 "
        "L5.6,12.7 L3.2,12.7 Z"
    )
    cuff = "M0.6,5.8 L3.2,5.8 L3.2,12.9 L0.6,12.9 Z"
    return (
        f'<g transform="translate({x},{y}) scale({scale})">'
        f'<path d="{path}" fill="{fill}" stroke="{INK}" stroke-width="1" stroke-linejoin="round"/>'
        f'<path d="{cuff}" fill="#2f6fb0" stroke="{INK}" stroke-width="1" stroke-linejoin="round"/>'
        f"</g>"
    )


def star_path(cx, cy, outer, inner, points=5):
    coords = []
    for i in range(points * 2):
        radius = outer if i % 2 == 0 else inner
        angle = -math.pi / 2 + i * math.pi / points
        coords.append(f"{cx + radius * math.cos(angle):.2f},{cy + radius * math.sin(angle):.2f}")
    return "M" + " L".join(coords) + " Z"


def word_badge(word, fill, ink, size):
    return glyph(
        f'<rect x="0.5" y="1" width="18" height="13" rx="3" fill="{fill}" stroke="{INK}" stroke-width="1"/>'
        + text(9.5, 7.5 + size * 0.36, word, size, ink, spacing=-0.2)
    )


def phrase_glyphs():
    skin_tone = "#f6c98f"
    glyphs = {}
    # 1 "Way To Go!": a thumbs up.
    glyphs[1] = glyph(thumb(2.5, 0.8, 1.0, skin_tone))
    # 2 "Good One!": a gold star.
    glyphs[2] = glyph(
        f'<path d="{star_path(9.5, 8, 7.4, 3.1)}" fill="{GOLD}" stroke="{GOLD_DARK}" '
        f'stroke-width="1" stroke-linejoin="round"/>'
        f'<path d="{star_path(9.5, 8, 3.2, 1.4)}" fill="#fff2b8" fill-opacity="0.8"/>'
    )
    # 3 "Nice Try!": a target with an arrow just off the middle.
    glyphs[3] = glyph(
        f'<circle cx="8" cy="8" r="6.6" fill="#ffffff" stroke="{INK}" stroke-width="1"/>'
        f'<circle cx="8" cy="8" r="4.4" fill="#d63a2f"/>'
        f'<circle cx="8" cy="8" r="2.4" fill="#ffffff"/>'
        f'<circle cx="8" cy="8" r="1.1" fill="#d63a2f"/>'
        f'<line x1="10.4" y1="5.6" x2="17.5" y2="1.2" stroke="{INK}" stroke-width="1.4"/>'
        f'<path d="M15.2,0.6 L18.6,0.4 L17.6,3.4 Z" fill="{INK}"/>'
    )
    # 4 "Excellent!": top marks.
    glyphs[4] = word_badge("A+", "#2f8f52", "#ffffff", 10)
    # 5 "Brilliant!": a light bulb.
    glyphs[5] = glyph(
        f'<path d="M9.5,1 C6.3,1 4.3,3.3 4.3,6 C4.3,7.9 5.3,9 6.3,10 L6.6,11.2 L12.4,11.2 '
        f'L12.7,10 C13.7,9 14.7,7.9 14.7,6 C14.7,3.3 12.7,1 9.5,1 Z" fill="#ffe066" stroke="{INK}" '
        f'stroke-width="1" stroke-linejoin="round"/>'
        f'<rect x="6.8" y="11.4" width="5.4" height="2.6" rx="0.8" fill="#9aa3ad" stroke="{INK}" stroke-width="0.8"/>'
        f'<path d="M7.8,9.5 L8.8,6.2 L10.2,6.2 L11.2,9.5" fill="none" stroke="#b07a10" stroke-width="0.8"/>'
        f'<line x1="1" y1="3" x2="2.6" y2="3.8" stroke="#e0a800" stroke-width="1"/>'
        f'<line x1="18" y1="3" x2="16.4" y2="3.8" stroke="#e0a800" stroke-width="1"/>'
        f'<line x1="0.6" y1="7" x2="2.4" y2="7" stroke="#e0a800" stroke-width="1"/>'
        f'<line x1="18.4" y1="7" x2="16.6" y2="7" stroke="#e0a800" stroke-width="1"/>'
    )
    # 6 "Wow, WTG!": a burst with an exclamation mark.
    glyphs[6] = glyph(
        f'<path d="{star_path(9.5, 7.5, 8.6, 5.2, 9)}" fill="#ff8a1f" stroke="{INK}" '
        f'stroke-width="0.9" stroke-linejoin="round"/>'
        f'<path d="M8.3,2.8 L10.7,2.8 L10.2,8.9 L8.8,8.9 Z" fill="#ffffff" stroke="{INK}" stroke-width="0.5"/>'
        f'<circle cx="9.5" cy="11" r="1.25" fill="#ffffff" stroke="{INK}" stroke-width="0.5"/>'
    )
    # 7 "Thanks!": a heart.
    glyphs[7] = glyph(
        '<path d="M9.5,14 C4,10 1,7.4 1,4.6 C1,2.4 2.7,0.9 4.8,0.9 C6.9,0.9 8.4,2.2 9.5,3.8 '
        'C10.6,2.2 12.1,0.9 14.2,0.9 C16.3,0.9 18,2.4 18,4.6 C18,7.4 15,10 9.5,14 Z" '
        f'fill="#e0344a" stroke="{INK}" stroke-width="1" stroke-linejoin="round"/>'
        '<path d="M4.2,3.2 C3.2,3.4 2.7,4.2 2.8,5.2" fill="none" stroke="#ffffff" '
        'stroke-opacity="0.7" stroke-width="1"/>'
    )
    # 8 "Way To Go Teamie!": two thumbs up.
    glyphs[8] = glyph(thumb(-0.2, 3.6, 0.78, "#e8b27a") + thumb(7.6, 0.6, 0.84, skin_tone))
    # 9 "Good Game Everyone!".
    glyphs[9] = word_badge("GG", "#2f6fb0", "#ffffff", 10)
    # 10 opens the chatter sounds (its tip is "See ya!"): a speaker.
    glyphs[10] = glyph(
        f'<path d="M1.5,5.2 L4.8,5.2 L9,1.6 L9,13.4 L4.8,9.8 L1.5,9.8 Z" fill="#5b6b7a" '
        f'stroke="{INK}" stroke-width="1" stroke-linejoin="round"/>'
        f'<path d="M11.4,5 C12.6,6.4 12.6,8.6 11.4,10" fill="none" stroke="{INK}" stroke-width="1.3" stroke-linecap="round"/>'
        f'<path d="M13.6,3 C15.9,5.6 15.9,9.4 13.6,12" fill="none" stroke="{INK}" stroke-width="1.3" stroke-linecap="round"/>'
        f'<path d="M15.8,1.2 C19,4.8 19,10.2 15.8,13.8" fill="none" stroke="{INK}" stroke-width="1.3" stroke-linecap="round"/>'
    )
    return glyphs


# ------------------------------------------------------------------ brand

def two_dice(x, y, scale):
    """The game's mark: an ivory die leaning on a gold one."""
    d1, b1 = die(5, False)
    d2, b2 = die(6, True)
    # Both dice share gradient names; the second file's ids are renamed.
    d2 = d2.replace('id="face"', 'id="bface"').replace('id="gloss"', 'id="bgloss"').replace('id="pip"', 'id="bpip"')
    b2 = b2.replace("url(#face)", "url(#bface)").replace("url(#gloss)", "url(#bgloss)").replace("url(#pip)", "url(#bpip)")
    body = (
        f'<g transform="translate({x + 14 * scale},{y + 2 * scale}) scale({scale}) rotate(12 16 16)">{b2}</g>'
        f'<g transform="translate({x},{y + 10 * scale}) scale({scale}) rotate(-10 16 16)">{b1}</g>'
    )
    return d1 + d2, body


def logo():
    w, h = 240, 60
    defs = (
        linear("plate", [(0, "#2c8a4d"), (1, FELT_DARK)])
        + linear("rim", [(0, GOLD_LIGHT), (1, GOLD_DARK)])
        + linear("letters", [(0, "#fff7d6"), (0.5, GOLD_LIGHT), (1, GOLD)])
    )
    dice_defs, dice = two_dice(8, 6, 1.15)
    body = [soft_shadow(3, 3, w - 4, h - 4, 12, 0.4, 2)]
    body.append(f'<rect x="1" y="1" width="{w - 4}" height="{h - 4}" rx="12" fill="url(#rim)"/>')
    body.append(f'<rect x="3" y="3" width="{w - 8}" height="{h - 8}" rx="10" fill="url(#plate)"/>')
    body.append(felt_fibres(w - 8, h - 8, 120, 11).replace('x1="', 'x1="').replace("<line", '<line transform="translate(3,3)"'))
    body.append(dice)
    body.append(text(150, 37, "DUNVEX", 30, "#000", spacing=3, extra='fill-opacity="0.35"'))
    body.append(text(149, 35, "DUNVEX", 30, "url(#letters)", spacing=3, extra=f'stroke="{GOLD_DARK}" stroke-width="0.8"'))
    body.append(text(149, 49, "THE DICE TABLE", 8, CREAM, spacing=3.2, extra='fill-opacity="0.85"'))
    return svg(w, h, "".join(body), defs + dice_defs)


def site_badge():
    w, h = 114, 22
    defs = linear("plate", [(0, "#2c8a4d"), (1, FELT_DARK)]) + linear("rim", [(0, GOLD_LIGHT), (1, GOLD_DARK)])
    d, face = die(5, False, with_shadow=False)
    body = [f'<rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" rx="5" fill="url(#rim)"/>']
    body.append(f'<rect x="1.5" y="1.5" width="{w - 3}" height="{h - 3}" rx="4" fill="url(#plate)"/>')
    body.append(f'<g transform="translate(4,3.5) scale(0.5)">{face}</g>')
    body.append(text(65, 14.6, "dunvex.example", 9.2, CREAM, spacing=0.1))
    return svg(w, h, "".join(body), defs + d)


def turn_arrow():
    """Points at the seat whose turn it is: 12 x 10, above a name on the scorecard."""
    defs = linear("gold", [(0, GOLD_LIGHT), (1, "#c98a1c")])
    return svg(12, 10, f'<path d="M1,1.5 L11,1.5 L6,9 Z" fill="url(#gold)" stroke="{GOLD_DARK}" '
                       f'stroke-width="1" stroke-linejoin="round"/>', defs)


def winner_crown():
    """Over the winner's column when the game has ended: 20 x 14."""
    defs = linear("gold", [(0, GOLD_LIGHT), (1, "#c98a1c")])
    body = (f'<path d="M2,12.5 L1,3.5 L6,7.5 L10,1 L14,7.5 L19,3.5 L18,12.5 Z" fill="url(#gold)" '
            f'stroke="{GOLD_DARK}" stroke-width="1" stroke-linejoin="round"/>'
            f'<circle cx="10" cy="9.5" r="1.4" fill="#c0282d"/>'
            f'<circle cx="5.5" cy="10.2" r="0.9" fill="#2f6fb0"/>'
            f'<circle cx="14.5" cy="10.2" r="0.9" fill="#2f6fb0"/>')
    return svg(20, 14, body, defs)


def window_icon():
    w = h = 64
    dice_defs, dice = two_dice(2, 4, 1.45)
    return svg(w, h, dice, dice_defs)


def background_tile():
    """Walnut boards, seamless both ways: 128 x 64."""
    w, h = 128, 64
    rng = random.Random(5)
    body = [f'<rect width="{w}" height="{h}" fill="{WOOD}"/>']

    def wave(y0, amp, phase, width, colour, opacity):
        points = []
        for i in range(0, 33):
            x = i * w / 32
            y = y0 + amp * math.sin(2 * math.pi * x / w + phase) + 0.6 * amp * math.sin(4 * math.pi * x / w + 2 * phase)
            points.append(f"{x:.1f},{y:.2f}")
        return (f'<polyline points="{" ".join(points)}" fill="none" stroke="{colour}" '
                f'stroke-opacity="{opacity}" stroke-width="{width}"/>')

    # Broad bands of lighter and darker wood, then fine grain lines; every line
    # is drawn again one tile up and down so rows meet without a seam.
    bands = [(rng.uniform(0, h), rng.uniform(2, 5), rng.uniform(0, 6.3), rng.uniform(3, 7),
              rng.choice(["#7d4a25", "#5a331a", "#84512a"]), 0.55) for _ in range(7)]
    grain = [(rng.uniform(0, h), rng.uniform(1, 3), rng.uniform(0, 6.3), rng.uniform(0.5, 1.1),
              rng.choice(["#2a1608", "#9a6437"]), rng.uniform(0.15, 0.3)) for _ in range(18)]
    for y0, amp, phase, width, colour, opacity in bands + grain:
        for shift in (-h, 0, h):
            body.append(wave(y0 + shift, amp, phase, width, colour, opacity))
    # The seam between two boards.
    body.append(f'<rect x="0" y="{h - 1.2}" width="{w}" height="1.2" fill="#1f1006" fill-opacity="0.55"/>')
    body.append(f'<rect x="0" y="0" width="{w}" height="0.8" fill="#d9a36b" fill-opacity="0.25"/>')
    return svg(w, h, "".join(body))


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    files = {}
    for face in range(1, 7):
        files[f"die-{face}"] = die_file(face, False)
        files[f"die-bonus-{face}"] = die_file(face, True)
    for count in range(1, 4):
        files[f"roll-mark-{count}"] = roll_mark(count)
    files["table-felt"] = table_felt()
    files["keep-tray"] = keep_tray()
    for state in ("", "-hover", "-down"):
        files[f"button-roll{state}"] = pill_button(99, 24, "ROLL DICE", "gold", state.strip("-"))
        files[f"button-start{state}"] = pill_button(99, 24, "START GAME", "ivory", state.strip("-"))
    files["winner-banner"] = winner_banner()
    files["bonus-plate"] = bonus_plate()
    files["eyes"] = eyes()
    for button, content in phrase_glyphs().items():
        files[f"phrase-{button}"] = content
    files["logo"] = logo()
    files["site-badge"] = site_badge()
    files["icon"] = window_icon()
    files["turn-arrow"] = turn_arrow()
    files["winner-crown"] = winner_crown()
    files["background-tile"] = background_tile()
    for stale in OUT.glob("*.svg"):
        if stale.stem not in files:
            stale.unlink()
    for name, content in files.items():
        (OUT / f"{name}.svg").write_text(content)
    print(f"{len(files)} pictures in {OUT}")


if __name__ == "__main__":
    main()
