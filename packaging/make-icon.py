#!/usr/bin/env python3
"""Draws the application icon, com.kelvora.Vantix.svg: a chip with pins and a lightning flash,
the flash being written into it. Run it again after changing the drawing.

Usage: packaging/make-icon.py [output.svg]
"""
import os
import sys

SIZE = 64
BODY = (14, 14, 36, 36)  # x, y, width, height of the chip
PINS = 5


def pins():
    x, y, w, h = BODY
    step = w / (PINS + 1)
    shapes = []
    for i in range(1, PINS + 1):
        p = round(x + i * step - 2, 2)
        q = round(y + i * step - 2, 2)
        shapes.append(f'<rect x="{p}" y="{y - 7}" width="4" height="7" rx="1"/>')
        shapes.append(f'<rect x="{p}" y="{y + h}" width="4" height="7" rx="1"/>')
        shapes.append(f'<rect x="{x - 7}" y="{q}" width="7" height="4" rx="1"/>')
        shapes.append(f'<rect x="{x + w}" y="{q}" width="7" height="4" rx="1"/>')
    return "\n    ".join(shapes)


def svg():
    x, y, w, h = BODY
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">
  <title>Vantix</title>
  <g fill="#9aa5b1">
    {pins()}
  </g>
  <rect x="{x}" y="{y}" width="{w}" height="{h}" rx="4" fill="#1f3b57"/>
  <circle cx="{x + 5}" cy="{y + 5}" r="2" fill="#6c8aa8"/>
  <path d="M35 18 L24 34 L31 34 L28 46 L40 28 L33 28 Z" fill="#ffc530" stroke="#b8860b" stroke-width="1" stroke-linejoin="round"/>
</svg>
"""


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "com.kelvora.Vantix.svg")
    with open(out, "w", newline="\n") as f:
        f.write(svg())


if __name__ == "__main__":
    main()
