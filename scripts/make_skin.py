#!/usr/bin/env python3
"""Builds the default note skin: assets/skin/skin.png and assets/skin/bms.hrd.

Standard library only; the PNG bytes are written here (8-bit RGB, one IDAT chunk).
Run from anywhere: python3 scripts/make_skin.py
"""
import os
import struct
import zlib

WIDTH, HEIGHT = 256, 360

# Lane geometry on the window (x), shared by the tile, the notes and the key panel.
FRAME_W = 248
SCRATCH_X, SCRATCH_W = 4, 44
KEY_X0, KEY_STEP, KEY_W = 50, 28, 26
KEYS = [11, 12, 13, 14, 15, 18, 19]          # keys 1 to 7, left to right
BLUE = {12, 14, 18}                           # the even keys are the blue ones

# Regions of the bitmap.
TILE = (0, 0, FRAME_W, 256)                   # lane background, repeated down the window
SCRATCH_NOTE = (0, 256, 40, 8)
WHITE_NOTE = (40, 256, 24, 8)
BLUE_NOTE = (64, 256, 24, 8)
BAR_LINE = (0, 272, 240, 1)
JUDGE = (0, 280, 240, 4)                      # four frames stacked downwards: 280..295
PANEL = (0, 296, FRAME_W, 64)

JUDGE_FROM_BOTTOM = 68                        # judge line 68 px above the bottom edge


def rgb(hex_colour):
    return ((hex_colour >> 16) & 255, (hex_colour >> 8) & 255, hex_colour & 255)


class Canvas:
    def __init__(self, w, h, colour=0x000000):
        self.w, self.h = w, h
        self.px = [[rgb(colour)] * w for _ in range(h)]

    def rect(self, x, y, w, h, colour):
        c = rgb(colour)
        for yy in range(max(y, 0), min(y + h, self.h)):
            row = self.px[yy]
            for xx in range(max(x, 0), min(x + w, self.w)):
                row[xx] = c

    def png(self):
        raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in self.px)
        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
        ihdr = struct.pack(">IIBBBBB", self.w, self.h, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def key_lane_x(i):
    return KEY_X0 + i * KEY_STEP


def draw_tile(c):
    x0, y0, w, h = TILE
    c.rect(x0, y0, w, h, 0x07070c)
    c.rect(x0, y0, 2, h, 0x4a4a5c)                       # outer frame
    c.rect(x0 + w - 2, y0, 2, h, 0x4a4a5c)
    c.rect(SCRATCH_X, y0, SCRATCH_W, h, 0x160909)        # scratch lane, a red tint
    for i, ch in enumerate(KEYS):
        c.rect(key_lane_x(i), y0, KEY_W, h, 0x0b0c1c if ch in BLUE else 0x101014)
    for x in [SCRATCH_X + SCRATCH_W] + [key_lane_x(i) + KEY_W for i in range(len(KEYS))]:
        c.rect(x, y0, 2, h, 0x26263a)                    # lane separators


def draw_note(c, region, body, light, shade):
    x, y, w, h = region
    c.rect(x, y, w, h, body)
    c.rect(x, y, w, 2, light)
    c.rect(x, y + h - 2, w, 2, shade)
    c.rect(x, y, 1, h, shade)
    c.rect(x + w - 1, y, 1, h, shade)


def draw_judge(c):
    x, y, w, h = JUDGE
    # Brightest on the beat, fading over the beat's four frames.
    for i, (core, edge) in enumerate([(0xff4a2a, 0xffb090), (0xe03a22, 0xd08070),
                                      (0xc0301c, 0xa06050), (0xa02818, 0x804840)]):
        c.rect(x, y + i * h, w, h, core)
        c.rect(x, y + i * h + 1, w, 2, edge)


def draw_panel(c):
    x0, y0, w, h = PANEL
    c.rect(x0, y0, w, h, 0x15151c)
    c.rect(x0, y0, w, 2, 0x5a5a70)
    c.rect(x0, y0, 2, h, 0x4a4a5c)
    c.rect(x0 + w - 2, y0, 2, h, 0x4a4a5c)
    # Turntable for the scratch.
    cx, cy, r = SCRATCH_X + SCRATCH_W // 2, y0 + 32, 19
    for yy in range(cy - r, cy + r + 1):
        for xx in range(cx - r, cx + r + 1):
            d2 = (xx - cx) ** 2 + (yy - cy) ** 2
            if d2 <= r * r:
                colour = 0x8a8a9a if d2 >= (r - 2) ** 2 else 0x2e2e38
                if d2 <= 9:
                    colour = 0xc02020
                c.rect(xx, yy, 1, 1, colour)
    # Key caps: the blue keys sit higher, as on the controller.
    for i, ch in enumerate(KEYS):
        kx = key_lane_x(i) + 3
        if ch in BLUE:
            c.rect(kx, y0 + 8, KEY_W - 6, 24, 0x2a58d0)
            c.rect(kx, y0 + 8, KEY_W - 6, 3, 0x7aa0ff)
        else:
            c.rect(kx, y0 + 28, KEY_W - 6, 28, 0xd8d8dc)
            c.rect(kx, y0 + 28, KEY_W - 6, 3, 0xffffff)


def hrd_text():
    def clip(n, region, frames=None, interval=None):
        x, y, w, h = region
        fields = [x, y, w, h] + ([frames, interval] if frames is not None else [])
        return "#CLIP%02X %s" % (n, ",".join(str(v) for v in fields))
    lines = [
        "; default note skin of jov:01, made by scripts/make_skin.py",
        "#FIL  skin.png",
        "#YPOS     %d" % -JUDGE_FROM_BOTTOM,
        "; clips: number, x, y, width, height[, frames, interval (negative: ticks)]",
        clip(0x01, SCRATCH_NOTE),
        clip(0x02, WHITE_NOTE),
        clip(0x03, BLUE_NOTE),
        clip(0x04, BAR_LINE),
        "#CLI 05 %d,%d,%d,%d,4,-12" % JUDGE,
        clip(0x06, PANEL),
        clip(0x10, TILE),
        "; note channels: 10 is the bar line, 16 the scratch",
        "#NOTE10 04,%d" % SCRATCH_X,
        "#NOTE16 01,%d" % (SCRATCH_X + 2),
    ]
    for i, ch in enumerate(KEYS):
        lines.append("#NOTE%d %02X,%d" % (ch, 0x03 if ch in BLUE else 0x02, key_lane_x(i) + 1))
    lines.append("; layout pieces: lanes down the window, then the key panel and the judge line")
    for k in range(5):
        lines.append("#LAY  %02d 10,0,%d" % (k, k * 256))
    lines.append("#LAY  05 06,0,-64")
    lines.append("#LAY  06 05,%d,%d" % (SCRATCH_X, -JUDGE_FROM_BOTTOM - 2))
    return "\r\n".join(lines) + "\r\n"


def main():
    c = Canvas(WIDTH, HEIGHT)
    draw_tile(c)
    draw_note(c, SCRATCH_NOTE, 0xe02828, 0xff8080, 0x8c1010)
    draw_note(c, WHITE_NOTE, 0xe4e4e8, 0xffffff, 0x8a8a96)
    draw_note(c, BLUE_NOTE, 0x3a78ff, 0x9cc0ff, 0x1a3a9c)
    c.rect(*BAR_LINE, 0x70707e)
    draw_judge(c)
    draw_panel(c)
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets", "skin")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "skin.png"), "wb") as f:
        f.write(c.png())
    with open(os.path.join(out, "bms.hrd"), "w", newline="") as f:
        f.write(hrd_text())


if __name__ == "__main__":
    main()
