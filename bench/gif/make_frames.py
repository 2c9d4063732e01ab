#!/usr/bin/env python3
"""Frames for the GIF size benchmark, as 24-bit bitmaps of at most 256 colours each:

  desktop  DIR  30 frames of a 1920 x 1080 desktop where a pointer moves, text is typed in a
                window and a menu opens: small changes on a large still screen
  sprites  DIR  40 frames of 320 x 240: a scene with three sprites walking and bouncing
  record   DIR  50 frames of 1024 x 768: a window being scrolled, typed in and dragged
"""
import random
import sys
from pathlib import Path

from PIL import Image, ImageDraw

random.seed(21)

def pointer(draw, x, y):
    draw.polygon([(x, y), (x, y + 17), (x + 4, y + 13), (x + 8, y + 20), (x + 10, y + 19),
                  (x + 6, y + 12), (x + 12, y + 12)], fill=(255, 255, 255), outline=(0, 0, 0))

def window(draw, box, title, body=(250, 250, 250)):
    x0, y0, x1, y1 = box
    draw.rectangle(box, fill=body, outline=(40, 40, 48))
    draw.rectangle((x0, y0, x1, y0 + 22), fill=(52, 101, 164))
    draw.text((x0 + 8, y0 + 6), title, fill=(255, 255, 255))

WORDS = ("the quick brown fox jumps over a lazy dog while frames change only where something "
         "moves on screen so the file stores just those parts").split()

def text_lines(n):
    lines, line = [], ""
    for i in range(n):
        word = WORDS[i % len(WORDS)]
        if len(line) + len(word) > 60:
            lines.append(line)
            line = ""
        line += word + " "
    return lines + [line]

def desktop(out):
    w, h = 1920, 1080
    base = Image.new("RGB", (w, h), (32, 74, 135))
    d = ImageDraw.Draw(base)
    for i in range(0, h, 40):
        d.rectangle((0, i, w, i + 20), fill=(34, 78, 140))
    d.rectangle((0, h - 36, w, h), fill=(46, 52, 54))
    for i in range(8):
        d.rectangle((8 + 44 * i, h - 30, 40 + 44 * i, h - 6), fill=(85 + 10 * i, 87, 83))
    for i in range(6):
        d.rectangle((30, 40 + 90 * i, 78, 88 + 90 * i), fill=(200, 200, 190))
        d.text((28, 92 + 90 * i), "file%d" % i, fill=(255, 255, 255))
    window(d, (400, 150, 1300, 800), "Editor")
    window(d, (1350, 300, 1850, 700), "Terminal", body=(20, 20, 20))
    for i, line in enumerate(text_lines(150)):
        d.text((1360, 330 + 12 * i), line[:70], fill=(200, 200, 200))
    for n in range(30):
        frame = base.copy()
        f = ImageDraw.Draw(frame)
        for i, line in enumerate(text_lines(4 * n)):
            f.text((410, 180 + 14 * i), line, fill=(0, 0, 0))
        f.text((w - 70, h - 26), "12:%02d" % (n // 10), fill=(255, 255, 255))
        if 12 <= n < 20:
            f.rectangle((420, 173, 620, 173 + 18 * 8), fill=(240, 240, 240), outline=(0, 0, 0))
            for i in range(8):
                f.text((430, 176 + 18 * i), "Menu item %d" % i, fill=(0, 0, 0))
            f.rectangle((421, 174 + 18 * (n - 12), 619, 190 + 18 * (n - 12)), fill=(52, 101, 164))
        pointer(f, 700 + 23 * n, 500 - 9 * n)
        frame.save(out / ("desktop-%03d.bmp" % n))

def sprites(out):
    w, h = 320, 240
    base = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(base)
    for y in range(0, h, 16):
        for x in range(0, w, 16):
            d.rectangle((x, y, x + 15, y + 15), fill=(90, 160, 90) if (x + y) // 16 % 2 else (80, 150, 80))
    d.rectangle((0, 200, w, h), fill=(120, 90, 60))
    for i in range(12):
        d.ellipse((i * 30, 20 + (i % 3) * 10, i * 30 + 40, 50 + (i % 3) * 10), fill=(230, 230, 240))
    for n in range(40):
        frame = base.copy()
        f = ImageDraw.Draw(frame)
        for s, (color, speed) in enumerate([((220, 40, 40), 6), ((40, 40, 220), 4), ((240, 200, 0), 9)]):
            x = (n * speed + 80 * s) % (w - 24)
            y = 170 - abs((n * (s + 2)) % 40 - 20) * 2 - 30 * s
            f.ellipse((x, y, x + 24, y + 28), fill=color, outline=(0, 0, 0))
            f.rectangle((x + 6 + (n % 2) * 4, y + 8, x + 10 + (n % 2) * 4, y + 12), fill=(255, 255, 255))
            f.line((x + 4, y + 28, x + 2 + (n % 3) * 3, y + 34), fill=(0, 0, 0), width=2)
            f.line((x + 20, y + 28, x + 22 - (n % 3) * 3, y + 34), fill=(0, 0, 0), width=2)
        frame.save(out / ("sprites-%03d.bmp" % n))

def record(out):
    w, h = 1024, 768
    page = Image.new("RGB", (900, 3000), (255, 255, 255))
    d = ImageDraw.Draw(page)
    for i, line in enumerate(text_lines(2400)):
        d.text((10, 10 + 14 * i), line, fill=(0, 0, 0) if i % 7 else (160, 0, 0))
    for i in range(12):
        d.rectangle((600, 120 + 240 * i, 860, 300 + 240 * i), fill=(70 + 15 * (i % 8), 130, 180 - 10 * (i % 8)))
    for n in range(50):
        frame = Image.new("RGB", (w, h), (60, 60, 70))
        f = ImageDraw.Draw(frame)
        f.rectangle((0, 0, w, 28), fill=(230, 230, 230))
        f.text((10, 8), "File  Edit  View  Help", fill=(0, 0, 0))
        scroll = 14 * max(0, n - 20) if n < 40 else 14 * 20
        frame.paste(page.crop((0, scroll, 900, scroll + 700)), (20, 50))
        if n >= 40:
            dx = (n - 40) * 25
            window(f, (500 + dx, 300, 800 + dx, 500), "Dialog")
            f.text((520 + dx, 340), "Save changes?", fill=(0, 0, 0))
        for i, line in enumerate(text_lines(3 * min(n, 20))[-3:]):
            f.text((30, 720 + 12 * i), line, fill=(255, 255, 255))
        pointer(f, 300 + 11 * n, 200 + 7 * n)
        frame.save(out / ("record-%03d.bmp" % n))

if __name__ == "__main__":
    kind, out = sys.argv[1], Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    {"desktop": desktop, "sprites": sprites, "record": record}[kind](out)
