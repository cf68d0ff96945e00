#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the Battery screen's artwork (the battery plate and its glass, the table header, the
time-scale strip, the time bar's track and pieces, one icon per rated activity) in the style of
README.md. Sizes are points; "-667h" files are the 375-point phone's, "~ipad" files the tablet's.
The level bar's place inside each plate is the screen's: x, y, width, height below."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
BASE, DEEP, GLOW = "#2b333f", "#171c24", "#424f61"
GLYPH = "#dbe5f0"
BAR = (0.0, 0.63, 0.88)


def hexc(c, f=1.0, lift=0.0):
    return "#%02x%02x%02x" % tuple(min(255, max(0, round(255 * min(1, v * f + lift)))) for v in c)


def write(name, w, h, body, stretch=False):
    aspect = ' preserveAspectRatio="none"' if stretch else ""
    with open(os.path.join(HERE, name + ".svg"), "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{w:g}" height="{h:g}" viewBox="0 0 {w:g} {h:g}"{aspect}>\n{body}\n</svg>\n')


def casing(level, corner):
    """The battery's casing around the level bar (whose corners are the screen's): the box,
    its inner corner radius, the wall's thickness and the nub."""
    x, y, w, h = level
    wall = max(3, h * 0.075)
    box = (x - wall, y - wall, w + 2 * wall, h + 2 * wall)
    nub = (box[0] + box[2], y + h * 0.3, wall * 1.6, h * 0.4)
    return box, corner, wall, nub


def plate(name, w, h, level, radius):
    x, y, lw, lh = level
    (bx, by, bw, bh), corner, wall, (nx, ny, nw, nh) = casing(level, radius)
    write(name, w, h, f'''  <defs>
    <linearGradient id="p" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#dfe3e8"/><stop offset="1" stop-color="#b9c0c9"/></linearGradient>
    <linearGradient id="c" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#9aa3ae"/><stop offset="1" stop-color="#6f7883"/></linearGradient>
    <linearGradient id="i" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{DEEP}"/><stop offset="1" stop-color="{BASE}"/></linearGradient>
  </defs>
  <rect x="0.5" y="0.5" width="{w-1:g}" height="{h-1:g}" rx="6" fill="url(#p)" stroke="{DEEP}" stroke-opacity="0.6"/>
  <rect x="1.5" y="1.5" width="{w-3:g}" height="1" fill="#ffffff" fill-opacity="0.8"/>
  <rect x="{nx-1:g}" y="{ny:g}" width="{nw+1:g}" height="{nh:g}" rx="{nw*0.4:g}" fill="url(#c)"/>
  <rect x="{bx:g}" y="{by:g}" width="{bw:g}" height="{bh:g}" rx="{corner+wall:g}" fill="url(#c)"/>
  <rect x="{bx+corner+wall:g}" y="{by+0.5:g}" width="{bw-2*(corner+wall):g}" height="1" fill="#ffffff" fill-opacity="0.5"/>
  <rect x="{x:g}" y="{y:g}" width="{lw:g}" height="{lh:g}" rx="{corner:g}" fill="url(#i)"/>''')


def plate_top(name, w, h, level, radius):
    x, y, lw, lh = level
    _, corner, wall, _ = casing(level, radius)
    ticks = "".join(f'<rect x="{x + lw * q - 0.5:g}" y="{y + lh * 0.12:g}" width="1" height="{lh * 0.12:g}" fill="#ffffff" fill-opacity="0.25"/>'
                    for q in (0.25, 0.5, 0.75))
    write(name, w, h, f'''  <defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#ffffff" stop-opacity="0.45"/><stop offset="0.48" stop-color="#ffffff" stop-opacity="0.12"/><stop offset="0.5" stop-color="#ffffff" stop-opacity="0"/><stop offset="1" stop-color="#000000" stop-opacity="0.12"/></linearGradient></defs>
  <rect x="{x:g}" y="{y:g}" width="{lw:g}" height="{lh:g}" rx="{corner:g}" fill="url(#g)"/>
  <rect x="{x+0.5:g}" y="{y+0.5:g}" width="{lw-1:g}" height="{lh-1:g}" rx="{corner:g}" fill="none" stroke="#000000" stroke-opacity="0.35"/>
  {ticks}''')


def header(name, w, h):
    write(name, w, h, f'''  <defs><linearGradient id="h" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{GLOW}" stop-opacity="0"/><stop offset="0.35" stop-color="{GLOW}" stop-opacity="0.85"/><stop offset="1" stop-color="{BASE}"/></linearGradient></defs>
  <rect width="{w}" height="{h}" fill="url(#h)"/>
  <rect y="{h*0.35:g}" width="{w}" height="1" fill="#ffffff" fill-opacity="0.12"/>
  <rect y="{h-1:g}" width="{w}" height="1" fill="#000000" fill-opacity="0.5"/>''', stretch=True)


def strip(name, w, h):
    write(name, w, h, f'''  <defs><linearGradient id="s" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{BASE}"/><stop offset="1" stop-color="{DEEP}"/></linearGradient></defs>
  <rect width="{w}" height="{h}" fill="url(#s)" fill-opacity="0.92"/>
  <rect width="{w}" height="1" fill="#000000" fill-opacity="0.5"/>
  <rect y="1" width="{w}" height="1" fill="#ffffff" fill-opacity="0.12"/>''', stretch=True)


def track(name, w, h):
    write(name, w, h, f'''  <rect x="0" y="0" width="{w:g}" height="{h:g}" rx="{h/2:g}" fill="{DEEP}" fill-opacity="0.7"/>
  <rect x="{h/2:g}" y="{h-1:g}" width="{w-h:g}" height="1" fill="#ffffff" fill-opacity="0.12"/>''')


def bar_gradient():
    return f'''<defs><linearGradient id="b" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{hexc(BAR, 1.25, 0.18)}"/><stop offset="0.45" stop-color="{hexc(BAR)}"/><stop offset="1" stop-color="{hexc(BAR, 0.72)}"/></linearGradient></defs>'''


def progress(suffix, cap, h):
    r = h / 2
    write("batteryTimeProgressL" + suffix, cap, h, f'''  {bar_gradient()}
  <path d="M{cap:g} 0 L{cap:g} {h:g} L{r:g} {h:g} A{r:g} {r:g} 0 0 1 {r:g} 0 Z" fill="url(#b)"/>''')
    write("batteryTimeProgressR" + suffix, cap, h, f'''  {bar_gradient()}
  <path d="M0 0 L{cap-r:g} 0 A{r:g} {r:g} 0 0 1 {cap-r:g} {h:g} L0 {h:g} Z" fill="url(#b)"/>''')
    write("batteryTimeProgress" + suffix, 1, h, f'''  {bar_gradient()}
  <rect width="1" height="{h:g}" fill="url(#b)"/>''', stretch=True)


def badge(s, text):
    """A small label in the lower right corner of a glyph of size s."""
    size = s * (0.26 if len(text) < 3 else 0.21)
    return (f'<text x="{s*0.9:g}" y="{s*0.88:g}" text-anchor="end" font-family="DejaVu Sans" font-weight="bold" '
            f'font-size="{size:g}" fill="{GLYPH}">{text}</text>')


def globe(s, cx, cy, r):
    sw = s * 0.05
    return (f'<circle cx="{cx:g}" cy="{cy:g}" r="{r:g}" fill="none" stroke="{GLYPH}" stroke-width="{sw:g}"/>'
            f'<ellipse cx="{cx:g}" cy="{cy:g}" rx="{r*0.45:g}" ry="{r:g}" fill="none" stroke="{GLYPH}" stroke-width="{sw:g}"/>'
            f'<path d="M{cx-r:g} {cy:g} L{cx+r:g} {cy:g}" stroke="{GLYPH}" stroke-width="{sw:g}"/>')


def handset(s, cx, cy, r):
    # A receiver drawn as a thick arc with an ear and a mouth piece.
    sw = s * 0.11
    return (f'<path d="M{cx-r*0.75:g} {cy-r*0.55:g} Q{cx-r*0.95:g} {cy+r*0.45:g} {cx+r*0.05:g} {cy+r*0.85:g}" fill="none" '
            f'stroke="{GLYPH}" stroke-width="{sw:g}" stroke-linecap="round"/>'
            f'<rect x="{cx-r*1.0:g}" y="{cy-r*0.95:g}" width="{r*0.55:g}" height="{r*0.5:g}" rx="{r*0.12:g}" fill="{GLYPH}" transform="rotate(-20 {cx-r*0.72:g} {cy-r*0.7:g})"/>'
            f'<rect x="{cx-r*0.1:g}" y="{cy+r*0.6:g}" width="{r*0.5:g}" height="{r*0.55:g}" rx="{r*0.12:g}" fill="{GLYPH}" transform="rotate(-60 {cx+r*0.15:g} {cy+r*0.87:g})"/>')


def wifi(s, cx, cy, r):
    sw = s * 0.055
    return (f'<path d="M{cx-r:g} {cy:g} Q{cx:g} {cy-r*1.0:g} {cx+r:g} {cy:g}" fill="none" stroke="{GLYPH}" stroke-width="{sw:g}" stroke-linecap="round"/>'
            f'<path d="M{cx-r*0.55:g} {cy+r*0.35:g} Q{cx:g} {cy-r*0.25:g} {cx+r*0.55:g} {cy+r*0.35:g}" fill="none" stroke="{GLYPH}" stroke-width="{sw:g}" stroke-linecap="round"/>'
            f'<circle cx="{cx:g}" cy="{cy+r*0.7:g}" r="{s*0.045:g}" fill="{GLYPH}"/>')


def activity_icons(suffix, s):
    c = s / 2
    glyphs = {
        "Audio Playback": f'<path d="M{s*0.42:g} {s*0.68:g} L{s*0.42:g} {s*0.24:g} L{s*0.72:g} {s*0.18:g} L{s*0.72:g} {s*0.62:g}" fill="none" stroke="{GLYPH}" stroke-width="{s*0.06:g}" stroke-linejoin="round"/>'
                          f'<ellipse cx="{s*0.35:g}" cy="{s*0.69:g}" rx="{s*0.1:g}" ry="{s*0.075:g}" fill="{GLYPH}"/><ellipse cx="{s*0.65:g}" cy="{s*0.63:g}" rx="{s*0.1:g}" ry="{s*0.075:g}" fill="{GLYPH}"/>',
        "Video Playback": f'<rect x="{s*0.2:g}" y="{s*0.27:g}" width="{s*0.6:g}" height="{s*0.46:g}" rx="{s*0.06:g}" fill="none" stroke="{GLYPH}" stroke-width="{s*0.055:g}"/>'
                          f'<path d="M{s*0.43:g} {s*0.37:g} L{s*0.62:g} {c:g} L{s*0.43:g} {s*0.63:g} Z" fill="{GLYPH}"/>',
        "Browsing over Wi-Fi": globe(s, s * 0.42, s * 0.42, s * 0.22) + wifi(s, s * 0.72, s * 0.7, s * 0.16),
        "Browsing over 3G": globe(s, s * 0.4, s * 0.4, s * 0.22) + badge(s, "3G"),
        "Browsing over LTE": globe(s, s * 0.4, s * 0.4, s * 0.22) + badge(s, "LTE"),
        "Talk over 3G": handset(s, s * 0.45, s * 0.42, s * 0.24) + badge(s, "3G"),
        "Talk over 2G": handset(s, s * 0.45, s * 0.42, s * 0.24) + badge(s, "2G"),
    }
    for name, glyph in glyphs.items():
        write(name + suffix, s, s, f'  <rect x="2" y="2" width="{s-4:g}" height="{s-4:g}" rx="{s*0.18:g}" fill="{DEEP}" fill-opacity="0.55"/>\n  {glyph}')


# (suffix, plate w, h, level bar x, y, w, h, the level bar's corner radius)
PLATES = [("", 316, 112, (32, 17, 150, 80), 4),
          ("-667h", 370, 131, (37.5, 19.921875, 175.78125, 93.75), 4),
          ("~ipad", 720, 270, (144, 65, 310, 152), 10)]


def main():
    for s, w, h, level, radius in PLATES:
        plate("batteryPlate" + s, w, h, level, radius)
        plate_top("batteryPlateTop" + s, w, h, level, radius)
    for s, w, hh, sh, tw, th, cap, ph, icon in (("", 320, 34, 34, 166, 12, 5, 10, 24),
                                                 ("~ipad", 768, 60, 50, 440, 16, 7, 14, 34)):
        header("batteryTableHeader" + s, w, hh)
        strip("batteryTimescaleBg" + s, w, sh)
        track("batteryTimebar" + s, tw, th)
        progress(s, cap, ph)
        activity_icons(s, icon)


if __name__ == "__main__":
    main()
