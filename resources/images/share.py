#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the share and rate prompt's artwork in the style of README.md: a light plate like the
Usage plates, four 57-point picture buttons lit from above, and a round close button with room
for its own shadow. Sizes are points."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
DEEP = "#171c24"

def write(name, w, h, body):
    with open(os.path.join(HERE, name + ".svg"), "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{w:g}" height="{h:g}" viewBox="0 0 {w:g} {h:g}">\n{body}\n</svg>\n')

def plate(w, h):
    write("smPlate", w, h, f'''  <defs><linearGradient id="p" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#eef0f3"/><stop offset="1" stop-color="#c9cfd6"/></linearGradient></defs>
  <rect x="0.5" y="0.5" width="{w-1:g}" height="{h-1:g}" rx="10" fill="url(#p)" stroke="{DEEP}" stroke-opacity="0.6"/>
  <rect x="6" y="1.5" width="{w-12:g}" height="1" fill="#ffffff" fill-opacity="0.9"/>''')

def tile(name, top, bottom, glyph):
    # A rounded square lit from above: a lighter top half and a one-point rim of light.
    write(name, 57, 57, f'''  <defs><linearGradient id="t" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/></linearGradient></defs>
  <rect width="57" height="57" rx="12" fill="url(#t)"/>
  <path d="M12 0.5 H45 A11.5 11.5 0 0 1 56.5 12 V26 Q28.5 32 0.5 26 V12 A11.5 11.5 0 0 1 12 0.5 Z" fill="#ffffff" fill-opacity="0.16"/>
  <rect x="0.5" y="0.5" width="56" height="56" rx="11.5" fill="none" stroke="#000000" stroke-opacity="0.25"/>
{glyph}''')

def star(cx, cy, outer, inner):
    points = []
    for i in range(10):
        r = outer if i % 2 == 0 else inner
        a = -math.pi / 2 + i * math.pi / 5
        points.append(f"{cx + r * math.cos(a):.2f},{cy + r * math.sin(a):.2f}")
    return " ".join(points)

def main():
    plate(319, 160)
    tile("smFacebook", "#5b7bc0", "#334f8d", '''  <path d="M31.5 49 V27 Q31.5 18 40.5 18 H44" fill="none" stroke="#ffffff" stroke-width="6.5"/>
  <path d="M24 31 H42" stroke="#ffffff" stroke-width="5"/>''')
    tile("smTweet", "#6fd0fb", "#1d94e0", '''  <g fill="#ffffff">
    <path d="M13 22 Q17 31 27 32 Q20 35 13 34 Q22 42 32 40 Q44 37 45 23 L49 19 L44.5 19.5 L47 15.5 L42.5 17 Q38 13 33.5 16.5 Q30 19.5 31 24 Q21 24 13 22 Z"/>
  </g>''')
    tile("smMail", "#3fcbff", "#0090d6", '''  <rect x="12" y="17" width="33" height="23" rx="2.5" fill="#ffffff"/>
  <path d="M13.5 18.5 L28.5 31 L43.5 18.5" fill="none" stroke="#0a8fd0" stroke-width="2.2" stroke-linejoin="round"/>''')
    tile("smRate", "#ffc35c", "#f07c00", f'''  <polygon points="{star(28.5, 30, 17, 7.2)}" fill="#ffffff"/>''')
    write("smClose", 23, 25, '''  <circle cx="11.5" cy="13" r="10.5" fill="#000000" fill-opacity="0.35"/>
  <circle cx="11.5" cy="11.5" r="10.5" fill="#4a535e" stroke="#ffffff" stroke-width="1.5"/>
  <path d="M7.5 7.5 L15.5 15.5 M15.5 7.5 L7.5 15.5" stroke="#ffffff" stroke-width="2.4" stroke-linecap="round"/>''')

if __name__ == "__main__":
    main()
