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

def write(name, w, h, body, stretch=False):
    aspect = ' preserveAspectRatio="none"' if stretch else ""
    with open(os.path.join(HERE, name + ".svg"), "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{w:g}" height="{h:g}" viewBox="0 0 {w:g} {h:g}"{aspect}>\n{body}\n</svg>\n')

def plate(name, w, h, track):
    x, y, bw, bh = track
    write(name, w, h, f'''  <defs><linearGradient id="p" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#dfe3e8"/><stop offset="1" stop-color="#b9c0c9"/></linearGradient></defs>
  <rect x="0.5" y="0.5" width="{w-1:g}" height="{h-1:g}" rx="6" fill="url(#p)" stroke="{DEEP}" stroke-opacity="0.6"/>
  <rect x="1.5" y="1.5" width="{w-3:g}" height="1" fill="#ffffff" fill-opacity="0.8"/>
  <rect x="{x-1:g}" y="{y-1:g}" width="{bw+2:g}" height="{bh+2:g}" rx="2" fill="#8d96a1"/>
  <rect x="{x:g}" y="{y:g}" width="{bw:g}" height="{bh:g}" fill="#a9b1ba"/>''')

def plate_top(name, w, h):
    write(name, w, h, f'''  <defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#ffffff" stop-opacity="0.35"/><stop offset="0.5" stop-color="#ffffff" stop-opacity="0.08"/><stop offset="1" stop-color="#ffffff" stop-opacity="0"/></linearGradient></defs>
  <rect width="{w:g}" height="{h:g}" rx="3" fill="url(#g)"/>''')

def bar(name, c, w, h):
    write(name, w, h, f'''  <defs><linearGradient id="b" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{hexc(c, 1.25, 0.18)}"/><stop offset="0.45" stop-color="{hexc(c)}"/><stop offset="1" stop-color="{hexc(c, 0.72)}"/></linearGradient></defs>
  <rect width="{w:g}" height="{h:g}" fill="url(#b)"/>
  <rect width="{w:g}" height="1" fill="#ffffff" fill-opacity="0.35"/>''')

def shadow(name, w, h):
    write(name, w, h, f'''  <defs><linearGradient id="s" x1="0" y1="0" x2="1" y2="0"><stop offset="0" stop-color="#000" stop-opacity="0.45"/><stop offset="1" stop-color="#000" stop-opacity="0"/></linearGradient></defs>
  <rect width="{w:g}" height="{h:g}" fill="url(#s)"/>''')

def point(name, c, d):
    r = d / 2
    write(name, d, d, f'  <circle cx="{r:g}" cy="{r:g}" r="{r-0.5:g}" fill="{hexc(c)}" stroke="{hexc(c, 0.6)}" stroke-width="1"/>\n  <circle cx="{r*0.75:g}" cy="{r*0.7:g}" r="{r*0.35:g}" fill="#ffffff" fill-opacity="0.45"/>')

# (suffix, plate w, h, bar x, y, w, h, overlay w, h, point)
LAYOUTS = [("", 304, 88, 14, 23, 276, 14, 288, 22, 8),
           ("-667h", 356, 103, 17, 27, 324, 16, 338, 26, 8),
           ("~ipad", 764, 168, 92, 41, 580, 30, 600, 40, 12)]

def main():
    for s, pw, ph, bx, by, bw, bh, ow, oh, pt in LAYOUTS:
        plate("usagePlate" + s, pw, ph, (bx, by, bw, bh))
        plate_top("usagePlateTop" + s, ow, oh)
        for name, c in BARS.items():
            bar(name + s, c, bw, bh)
        shadow("barShadow" + s, max(4, bh // 3), bh)
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
        write("updown" + s, h * 0.3, h * 0.6, f'''  <path d="M{h*0.15:g} 0 L{h*0.3:g} {h*0.25:g} L0 {h*0.25:g} Z" fill="#9efd6b"/>
  <path d="M{h*0.15:g} {h*0.6:g} L{h*0.3:g} {h*0.35:g} L0 {h*0.35:g} Z" fill="#59c7e8"/>''')
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
