#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the shell's artwork as SVG files into this folder: the launch backgrounds for every
screen size and orientation, the tab images, the tab bar's shadow and the application icons.
Run it again after changing the palette; the SVG files are committed."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# The palette (see README.md).
BASE = (0.17, 0.20, 0.25)  # the key tone: slate
DEEP = (0.09, 0.11, 0.14)  # where the light does not reach
GLOW = (0.26, 0.31, 0.38)  # where it falls, from the top left
TINT = (0.0, 0.68, 0.96)   # the window's tint

def hexc(c):
    return "#%02x%02x%02x" % tuple(round(255 * v) for v in c)

def write(name, text):
    with open(os.path.join(HERE, name + ".svg"), "w") as f:
        f.write(text)

def launch(name, w, h):
    # A quiet slate field lit from the top left, a faint grid of plates, and a darker foot.
    lines = []
    step = 40
    for x in range(step, int(w), step):
        lines.append(f'<line x1="{x}" y1="0" x2="{x}" y2="{h}"/>')
    for y in range(step, int(h), step):
        lines.append(f'<line x1="0" y1="{y}" x2="{w}" y2="{y}"/>')
    write(name, f'''<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" viewBox="0 0 {w} {h}" preserveAspectRatio="none">
  <defs>
    <radialGradient id="light" cx="0.15" cy="0.05" r="1.1">
      <stop offset="0" stop-color="{hexc(GLOW)}"/>
      <stop offset="0.55" stop-color="{hexc(BASE)}"/>
      <stop offset="1" stop-color="{hexc(DEEP)}"/>
    </radialGradient>
  </defs>
  <rect width="{w}" height="{h}" fill="url(#light)"/>
  <g stroke="#ffffff" stroke-opacity="0.025" stroke-width="1">{"".join(lines)}</g>
</svg>
''')

def icon(name, body):
    # Tab images: 30 x 30 points, one flat colour; the tab bar tints them.
    write(name, f'''<svg xmlns="http://www.w3.org/2000/svg" width="30" height="30" viewBox="0 0 30 30">
  <g fill="#000000" stroke="#000000" stroke-linejoin="round" stroke-linecap="round">{body}</g>
</svg>
''')

SIZES = [(320, 480), (320, 568), (375, 667), (414, 736), (768, 1024)]

def main():
    entries = []
    for w, h in SIZES:
        for orientation in ("Portrait", "Landscape"):
            name = f"LaunchImage-{w}x{h}-{orientation}"
            launch(name, *(w, h) if orientation == "Portrait" else (h, w))
            entries.append((w, h, orientation, name))
    launch("Default-Portrait-ipad-pro", 1024, 1366)
    launch("Default-Landscape-ipad-pro", 1366, 1024)
    launch("LaunchImage", 375, 667)

    icon("usageTabBarIcon", '<rect x="4" y="15" width="5" height="11" rx="1"/><rect x="12.5" y="8" width="5" height="18" rx="1"/><rect x="21" y="4" width="5" height="22" rx="1"/>')
    icon("batteryTabBarIcon", '<rect x="3" y="9" width="21" height="12" rx="2.5" fill="none" stroke-width="2"/><rect x="24.5" y="12.5" width="2.5" height="5" rx="1" stroke="none"/><rect x="6" y="12" width="11" height="6" rx="1" stroke="none"/>')
    icon("specTabBarIcon", '<rect x="8" y="3" width="14" height="24" rx="3" fill="none" stroke-width="2"/><rect x="11" y="8" width="8" height="1.8" stroke="none"/><rect x="11" y="12" width="8" height="1.8" stroke="none"/><rect x="11" y="16" width="5" height="1.8" stroke="none"/><circle cx="15" cy="23.5" r="1.3" stroke="none"/>')
    icon("compareTabBarIcon", '<rect x="3" y="6" width="10" height="18" rx="2" fill="none" stroke-width="2"/><rect x="17" y="6" width="10" height="18" rx="2" fill="none" stroke-width="2"/><rect x="5.5" y="17" width="5" height="4.5" stroke="none"/><rect x="19.5" y="12" width="5" height="9.5" stroke="none"/>')

    # The shadow over the tab bar: 3 points of black fading upwards, stretched to the width.
    write("tabBarShadow", '''<svg xmlns="http://www.w3.org/2000/svg" width="8" height="3" viewBox="0 0 8 3" preserveAspectRatio="none">
  <defs><linearGradient id="s" x1="0" y1="1" x2="0" y2="0"><stop offset="0" stop-color="#000" stop-opacity="0.45"/><stop offset="1" stop-color="#000" stop-opacity="0"/></linearGradient></defs>
  <rect width="8" height="3" fill="url(#s)"/>
</svg>
''')

    app_icon = f'''<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">
  <defs>
    <radialGradient id="bg" cx="0.2" cy="0.1" r="1.2"><stop offset="0" stop-color="{hexc(GLOW)}"/><stop offset="1" stop-color="{hexc(DEEP)}"/></radialGradient>
    <linearGradient id="bar" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#4fd0ff"/><stop offset="1" stop-color="{hexc(TINT)}"/></linearGradient>
  </defs>
  <rect x="4" y="4" width="120" height="120" rx="26" fill="url(#bg)"/>
  <rect x="24" y="70" width="18" height="34" rx="3" fill="#ff7000"/>
  <rect x="55" y="46" width="18" height="58" rx="3" fill="url(#bar)"/>
  <rect x="86" y="28" width="18" height="76" rx="3" fill="#12c200"/>
</svg>
'''
    with open(os.path.join(HERE, "..", "desktop", "quarrin.svg"), "w") as f:
        f.write(app_icon)
    with open(os.path.join(HERE, "..", "desktop", "vistrel.svg"), "w") as f:
        f.write(app_icon.replace('rx="26"', 'rx="64"'))

    # The entries for Info.plist's "UILaunchImages" (pasted there by hand when the sizes change).
    with open(os.path.join(HERE, "launch-images.plist-fragment"), "w") as f:
        for w, h, orientation, name in entries:
            f.write(f"\t\t<dict>\n\t\t\t<key>UILaunchImageName</key>\n\t\t\t<string>{name}</string>\n"
                    f"\t\t\t<key>UILaunchImageOrientation</key>\n\t\t\t<string>{orientation}</string>\n"
                    f"\t\t\t<key>UILaunchImageSize</key>\n\t\t\t<string>{{{w}, {h}}}</string>\n\t\t</dict>\n")

if __name__ == "__main__":
    main()
