#!/usr/bin/env python3
"""Draws the program's icon: an aggregate grown by diffusion-limited
aggregation on a 30 x 30 lattice (black on white, one pixel per cell at
32 x 32), with a few red walkers still free.

Writes dla-model.svg and dla-model-32.ppm next to this script; the PNGs are
made from the pixel map with ImageMagick, so they hold exactly its pixels:
  convert dla-model-32.ppm dla-model-32.png
  convert dla-model-32.ppm -filter point -resize 256x256 dla-model-256.png
"""
import math
import os
import random

N = 30
CENTRE = (N // 2, N // 2)
rng = random.Random(9)
stuck = {CENTRE}
moves = [(-1, 0), (1, 0), (0, -1), (0, 1)]


def touches(c, r):
    return any((c + dc, r + dr) in stuck for dc, dr in moves)


def radius():
    return max(math.hypot(c - CENTRE[0], r - CENTRE[1]) for c, r in stuck)


while len(stuck) < 150 and radius() < 13.5:
    launch = radius() + 3
    angle = rng.uniform(0, 2 * math.pi)
    c = round(CENTRE[0] + launch * math.cos(angle))
    r = round(CENTRE[1] + launch * math.sin(angle))
    while True:
        if not (0 <= c < N and 0 <= r < N) or math.hypot(c - CENTRE[0], r - CENTRE[1]) > launch + 8:
            break
        if touches(c, r):
            stuck.add((c, r))
            break
        dc, dr = rng.choice(moves)
        c, r = c + dc, r + dr

free = []
while len(free) < 5:
    c, r = rng.randrange(1, N - 2), rng.randrange(1, N - 2)
    block = {(c, r), (c + 1, r), (c, r + 1), (c + 1, r + 1)}
    near = {(x + dx, y + dy) for x, y in block for dx in (-1, 0, 1) for dy in (-1, 0, 1)}
    if not near & stuck and all(abs(c - fc) > 3 or abs(r - fr) > 3 for fc, fr in free):
        free.append((c, r))

FRAME, WHITE, BLACK, RED = (0x7a, 0x7a, 0x7a), (0xff, 0xff, 0xff), (0, 0, 0), (0xff, 0, 0)
pixels = [[FRAME] * 32 for _ in range(32)]
for y in range(1, 31):
    for x in range(1, 31):
        pixels[y][x] = WHITE
for c, r in stuck:
    pixels[r + 1][c + 1] = BLACK
for c, r in free:
    for dx in (0, 1):
        for dy in (0, 1):
            pixels[r + 1 + dy][c + 1 + dx] = RED


def hex_colour(rgb):
    return '#%02x%02x%02x' % rgb


rects = [f'<rect x="{x}" y="{y}" width="1" height="1" fill="{hex_colour(pixels[y][x])}"/>'
         for y in range(32) for x in range(32) if pixels[y][x] != WHITE]
svg = ('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" '
       'viewBox="0 0 32 32" shape-rendering="crispEdges">\n'
       '  <rect x="0" y="0" width="32" height="32" fill="#ffffff"/>\n  '
       + '\n  '.join(rects) + '\n</svg>\n')
here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, 'dla-model.svg'), 'w') as f:
    f.write(svg)
with open(os.path.join(here, 'dla-model-32.ppm'), 'w') as f:
    f.write('P3\n32 32\n255\n')
    for row in pixels:
        f.write(' '.join('%d %d %d' % p for p in row) + '\n')
