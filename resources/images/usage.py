#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the Usage screen's artwork (plates, bars, marks, table header, cells, network icons)
in the style of README.md: slate plates lit from the top left, bars lit from above. Sizes are
points; "-667h" files are the 375-point phone's, "~ipad" files the tablet's."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
BASE, DEEP, GLOW = "#2b333f", "#171c24", "#424f61"
BARS = {"barOrange": (1, 0.44, 0), "barBlue": (0, 0.63, 0.88), "barGreen": (0.07, 0.76, 0)}

def hexc(c, f=1.0, lift=0.0):
    return "#%02x%02x%02x" % tuple(min(255, max(0, round(255 * min(1, v * f + lift)))) for v in c)

def n(v):
    # Exact decimals: the frames at 375 points are quarters and 32nds of a point, which "%g" would cut.
    return ("%.6f" % v).rstrip("0").rstrip(".")

def write(name, w, h, body, stretch=False):
    aspect = ' preserveAspectRatio="none"' if stretch else ""
    with open(os.path.join(HERE, name + ".svg"), "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{n(w)}" height="{n(h)}" viewBox="0 0 {n(w)} {n(h)}"{aspect}>\n{body}\n</svg>\n')

def plate(name, w, h, track):
    # The track lies exactly under the bar box, in a one-point darker rim outside it.
    x, y, bw, bh = track
    write(name, w, h, f'''  <defs><linearGradient id="p" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#dfe3e8"/><stop offset="1" stop-color="#b9c0c9"/></linearGradient></defs>
  <rect x="0.5" y="0.5" width="{n(w-1)}" height="{n(h-1)}" rx="6" fill="url(#p)" stroke="{DEEP}" stroke-opacity="0.6"/>
  <rect x="1.5" y="1.5" width="{n(w-3)}" height="1" fill="#ffffff" fill-opacity="0.8"/>
  <rect x="{n(x-1)}" y="{n(y-1)}" width="{n(bw+2)}" height="{n(bh+2)}" rx="1.5" fill="#8d96a1"/>
  <rect x="{n(x)}" y="{n(y)}" width="{n(bw)}" height="{n(bh)}" fill="#a9b1ba"/>''')

def plate_top(name, w, h):
    # The glass: as large as the bar box, light on its upper half, square like the bars.
    write(name, w, h, f'''  <defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#ffffff" stop-opacity="0.35"/><stop offset="0.5" stop-color="#ffffff" stop-opacity="0.08"/><stop offset="1" stop-color="#ffffff" stop-opacity="0"/></linearGradient></defs>
  <rect width="{n(w)}" height="{n(h)}" fill="url(#g)"/>''', stretch=True)

def bar(name, c, w, h):
    # Stretches: the widget draws the same bars at its own widths and heights.
    write(name, w, h, f'''  <defs><linearGradient id="b" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{hexc(c, 1.25, 0.18)}"/><stop offset="0.45" stop-color="{hexc(c)}"/><stop offset="1" stop-color="{hexc(c, 0.72)}"/></linearGradient></defs>
  <rect width="{n(w)}" height="{n(h)}" fill="url(#b)"/>
  <rect width="{n(w)}" height="1" fill="#ffffff" fill-opacity="0.35"/>''', stretch=True)

def shadow(name, w, h):
    write(name, w, h, f'''  <defs><linearGradient id="s" x1="0" y1="0" x2="1" y2="0"><stop offset="0" stop-color="#000" stop-opacity="0.45"/><stop offset="1" stop-color="#000" stop-opacity="0"/></linearGradient></defs>
  <rect width="{n(w)}" height="{n(h)}" fill="url(#s)"/>''', stretch=True)

def point(name, c, d):
    r = d / 2
    write(name, d, d, f'  <circle cx="{r:g}" cy="{r:g}" r="{r-0.5:g}" fill="{hexc(c)}" stroke="{hexc(c, 0.6)}" stroke-width="1"/>\n  <circle cx="{r*0.75:g}" cy="{r*0.7:g}" r="{r*0.35:g}" fill="#ffffff" fill-opacity="0.45"/>')

# The header's totals: download label at 166 / 400, upload label at 253 / 524 (phone / tablet),
# the arrows' image centred at (202, 16) / (450, 23). The image is a strip as wide as the space
# from just before the download label to just before the upload label, transparent between the
# arrows: the down arrow stands before the download total and the up arrow before the upload
# total, where neither text can reach (a total is at most "1023.9 MB").
UPDOWN = {"": {"center": (202, 16), "download": 166, "upload": 253, "arrow": 10, "gap": 2, "h": 14},
          "~ipad": {"center": (450, 23), "download": 400, "upload": 524, "arrow": 14, "gap": 3, "h": 18}}

def updown(s):
    u = UPDOWN[s]
    cx, cy = u["center"]
    a, gap, h = u["arrow"], u["gap"], u["h"]
    down_x = u["download"] - gap - a  # where each arrow stands in the header
    up_x = u["upload"] - gap - a
    half = max(cx - down_x, up_x + a - cx)  # the strip is centred at cx and holds both
    left, w = cx - half, 2 * half
    down, up = down_x - left, up_x - left
    assert up + a <= w, "the up arrow must lie inside the strip"
    top, bottom = (h - a) / 2, (h + a) / 2
    write("updown" + s, w, h, f'''  <path d="M{n(down)} {n(top)} L{n(down + a)} {n(top)} L{n(down + a / 2)} {n(bottom)} Z" fill="#9efd6b"/>
  <path d="M{n(up)} {n(bottom)} L{n(up + a)} {n(bottom)} L{n(up + a / 2)} {n(top)} Z" fill="#59c7e8"/>''')

# The frames the panels are laid out in (see README.md): the bar box starts at X, Y and is as wide
# and high as the bar images; the glass is centred at the overlay centre, so it covers the box
# exactly when it is the box's size and the centre is the box's middle. Phones: X 22, Y 23, centre
# (158, 38), all times k = width / 320; tablets: X 92, Y 41, centre (381, 66). That fixes the bar at
# 272 x 30 (x k) and 578 x 50, and the plate, centred on the screen, is as wide as the glass is
# centred: 316 (x k) and 762.
def frames(k=None):
    if k is None:  # tablet
        x, y, cx, cy, plate_h = 92, 41, 381, 66, 168
    else:
        x, y, cx, cy, plate_h = 22 * k, 23 * k, 158 * k, 38 * k, 88 * k
    bw, bh = 2 * (cx - x), 2 * (cy - y)
    return {"plate": (2 * cx, plate_h), "box": (x, y, bw, bh)}

def shadow_width(bw, near):
    # The shadow's centre is placed at the bar's end + half its width, rounded to a whole point,
    # and the bar's centre is a whole point too: (bar + shadow) / 2 must be whole for the shadow
    # to start exactly where the bar ends. The width nearest `near` that does this.
    best = None
    for quarter in range(4, 200):
        w = quarter / 4
        if ((bw + w) / 2) % 1 == 0 and (best is None or abs(w - near) < abs(best - near)):
            best = w
    return best

LAYOUTS = [("", frames(1), 8), ("-667h", frames(375 / 320), 8 * 375 / 320), ("~ipad", frames(), 12)]

def main():
    for s, f, shadow_near in LAYOUTS:
        pw, ph = f["plate"]
        bx, by, bw, bh = f["box"]
        plate("usagePlate" + s, pw, ph, (bx, by, bw, bh))
        plate_top("usagePlateTop" + s, bw, bh)
        for name, c in BARS.items():
            bar(name + s, c, bw, bh)
        shadow("barShadow" + s, shadow_width(bw, shadow_near), bh)
    for s, d in (("", 8), ("~ipad", 12)):
        point("pointOrange" + s, BARS["barOrange"], d)
        point("pointBlue" + s, BARS["barBlue"], d)
        point("pointGreen" + s, BARS["barGreen"], d)
        point("pointGray" + s, (0.67, 0.67, 0.67), d)
    for s, w, h in (("", 320, 32), ("~ipad", 618, 46)):
        write("generalTableHeader" + s, w, h, f'''  <defs><linearGradient id="h" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{GLOW}"/><stop offset="1" stop-color="{BASE}"/></linearGradient></defs>
  <rect width="{w}" height="{h}" fill="url(#h)"/>
  <rect width="{w}" height="1" fill="#ffffff" fill-opacity="0.15"/>
  <rect y="{h-1}" width="{w}" height="1" fill="#000000" fill-opacity="0.5"/>''', stretch=True)
        icon = h
        updown(s)
        c, r = icon / 2, icon * 0.36
        glyphs = {
            "networkIconWi-Fi": f'<path d="M{c-r:g} {c-r*0.1:g} Q{c:g} {c-r*1.1:g} {c+r:g} {c-r*0.1:g}" fill="none" stroke="#dbe5f0" stroke-width="{icon*0.07:g}" stroke-linecap="round"/><path d="M{c-r*0.6:g} {c+r*0.25:g} Q{c:g} {c-r*0.4:g} {c+r*0.6:g} {c+r*0.25:g}" fill="none" stroke="#dbe5f0" stroke-width="{icon*0.07:g}" stroke-linecap="round"/><circle cx="{c:g}" cy="{c+r*0.65:g}" r="{icon*0.06:g}" fill="#dbe5f0"/>',
            "networkIconCellular": "".join(f'<rect x="{c-r+i*r*0.55:g}" y="{c+r*0.6-(i+1)*r*0.4:g}" width="{r*0.35:g}" height="{(i+1)*r*0.4:g}" rx="1" fill="#dbe5f0"/>' for i in range(4)),
            "networkIconBluetooth": f'<path d="M{c-r*0.45:g} {c-r*0.4:g} L{c+r*0.45:g} {c+r*0.4:g} L{c:g} {c+r*0.85:g} L{c:g} {c-r*0.85:g} L{c+r*0.45:g} {c-r*0.4:g} L{c-r*0.45:g} {c+r*0.4:g}" fill="none" stroke="#dbe5f0" stroke-width="{icon*0.06:g}" stroke-linejoin="round" stroke-linecap="round"/>',
            "networkIconEthernet": f'<rect x="{c-r*0.8:g}" y="{c-r*0.55:g}" width="{r*1.6:g}" height="{r*1.1:g}" rx="2" fill="none" stroke="#dbe5f0" stroke-width="{icon*0.06:g}"/><rect x="{c-r*0.35:g}" y="{c+r*0.55:g}" width="{r*0.7:g}" height="{r*0.3:g}" fill="#dbe5f0"/>' + "".join(f'<rect x="{c-r*0.55+i*r*0.3:g}" y="{c-r*0.3:g}" width="{r*0.12:g}" height="{r*0.35:g}" fill="#dbe5f0"/>' for i in range(4)),
            # A padlock: the tunnel's traffic is sealed.
            "networkIconVPN": f'<path d="M{c-r*0.38:g} {c-r*0.05:g} V{c-r*0.4:g} A{r*0.38:g} {r*0.38:g} 0 0 1 {c+r*0.38:g} {c-r*0.4:g} V{c-r*0.05:g}" fill="none" stroke="#dbe5f0" stroke-width="{icon*0.07:g}" stroke-linecap="round"/><rect x="{c-r*0.62:g}" y="{c-r*0.1:g}" width="{r*1.24:g}" height="{r*0.9:g}" rx="2" fill="#dbe5f0"/><circle cx="{c:g}" cy="{c+r*0.27:g}" r="{icon*0.045:g}" fill="{DEEP}"/><rect x="{c-icon*0.018:g}" y="{c+r*0.3:g}" width="{icon*0.036:g}" height="{r*0.25:g}" fill="{DEEP}"/>',
        }
        for name, glyph in glyphs.items():
            write(name + s, icon, icon, f'  <rect x="2" y="2" width="{icon-4:g}" height="{icon-4:g}" rx="{icon*0.18:g}" fill="{DEEP}" fill-opacity="0.55"/>\n  {glyph}')
        write(("generalCellBg~ipad" if s else "networkCellBg"), w, 36 if not s else 43, f'''  <rect width="{w}" height="{36 if not s else 43}" fill="#ffffff" fill-opacity="0.03"/>
  <rect y="{35 if not s else 42}" width="{w}" height="1" fill="#000000" fill-opacity="0.35"/>''', stretch=True)
    write("generalCellBg", 320, 36, '  <rect width="320" height="36" fill="#ffffff" fill-opacity="0.03"/>\n  <rect y="35" width="320" height="1" fill="#000000" fill-opacity="0.35"/>', stretch=True)

if __name__ == "__main__":
    main()
