#!/usr/bin/python3
# Generates Zorvane's skin: the window backgrounds, page headers and panels,
# button and indicator bitmaps, the program icon, the hand cursor and the two
# sounds. Everything is drawn from code, so the files in assets/ can be
# rebuilt at any time and come out byte for byte the same.
#
# One file although long: it is the skin's one source, read from top to bottom
# as the list of pictures below, each drawn by the function that bears its name
# with the shared pen, colours and fonts defined first.
#
# Needs (Debian 12):  apt-get install -y python3-pil fonts-wqy-zenhei
# Run from the repository root with Debian's own Python:
#
#     /usr/bin/python3 scripts/make-assets.py
#
# It writes into assets/:
#   sk.bmp, bg.bmp                      main window background (skin / built-in)
#   header_scan.bmp, header_ask.bmp     page header bars
#   panel_scan.bmp, panel_ask.bmp       page panels
#   scan_{0,1,2}.bmp, config_{0,1,2}.bmp  big buttons: normal, hover, pressed
#   ok_, query_, save_, history_{0,1}.bmp  small buttons: normal, hover
#   led_on.bmp, led_off.bmp             status indicators
#   dlg_bg.bmp                          background of the smaller windows
#   about_banner.bmp                    banner at the top of the about box
#   app.ico, hand.cur                   program icon, link cursor
#   bf.wav, Alert.wav                   button blip, alarm
#
# All bitmaps are uncompressed bottom-up BMPs (what LoadImage and LoadBitmap
# read), each no deeper than its colours need: 4 or 8 bits with a palette when
# it has at most 16 or 256 colours, else 24 bits; the pixels stay the same.
# Coordinates below are pixels in the main window's client area (574 x 368)
# unless said otherwise.

import math
import os
import struct
import sys
import wave

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(os.path.dirname(HERE), "assets")
FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
SS = 4  # supersampling factor for anti-aliased shapes

# ---------------------------------------------------------------- palette --

BANNER_TOP = (0x1f, 0x63, 0xb4)
BANNER_BOTTOM = (0x0b, 0x3d, 0x7a)
FOOTER_TOP = (0x0f, 0x47, 0x8c)
FOOTER_BOTTOM = (0x09, 0x30, 0x63)
NAVY = (0x0b, 0x3d, 0x7a)

BODY = (0xec, 0xf3, 0xfb)        # window body around the status card
CARD = (0xff, 0xff, 0xff)        # inside of the status card (indicator rows)
CARD_LINE = (0xa7, 0xc0, 0xe0)   # 1px borders of cards and panels
ROW_LINE = (0xe2, 0xea, 0xf4)    # dotted separators between rows
SURFACE = (0xf6, 0xf9, 0xfd)     # page panels and dialogs

TAB_STRIP_TOP = (0xdd, 0xe9, 0xf7)
TAB_STRIP_BOTTOM = (0xc9, 0xdb, 0xf0)
TAB_LINE = (0x8f, 0xb0, 0xd9)

ACCENT_LIGHT = (0xff, 0xc0, 0x5c)
ACCENT = (0xfb, 0x94, 0x1c)
ACCENT_DARK = (0xe0, 0x70, 0x00)
ACCENT_EDGE = (0xb8, 0x5a, 0x00)

TEXT_DARK = (0x1c, 0x2b, 0x3f)
TEXT_GREY = (0x6a, 0x76, 0x86)
WHITE = (0xff, 0xff, 0xff)

# Where the program places things on the main window.
BIG_BUTTONS = {"scan": (384, 120), "config": (384, 208)}
BIG_W, BIG_H = 155, 63
LED_X = 290
LED_ROWS = (132, 160, 188, 216)   # label tops; indicators go at y - 1
TAB_XS = (24, 136, 248)
CARD_BOX = (16, 108, 331, 291)    # status card, right/bottom exclusive


# ---------------------------------------------------------------- helpers --

def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def mix(c, other, t):
    return lerp(c, other, t)


def gradient(w, h, stops, horizontal=False):
    """RGB image with a linear gradient through stops [(pos 0..1, colour)]."""
    im = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(im)
    n = w if horizontal else h
    for i in range(n):
        t = i / (n - 1) if n > 1 else 0.0
        for k in range(len(stops) - 1):
            p0, c0 = stops[k]
            p1, c1 = stops[k + 1]
            if t <= p1 or k == len(stops) - 2:
                u = 0.0 if p1 == p0 else min(1.0, max(0.0, (t - p0) / (p1 - p0)))
                col = lerp(c0, c1, u)
                break
        if horizontal:
            d.line([(i, 0), (i, h - 1)], fill=col)
        else:
            d.line([(0, i), (w - 1, i)], fill=col)
    return im


class Shape:
    """Draws a coverage mask at SS times the size; mask() gives it at 1x."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.im = Image.new("L", (w * SS, h * SS), 0)
        self.d = ImageDraw.Draw(self.im)

    def rrect(self, x0, y0, x1, y1, r, fill=255):
        self.d.rounded_rectangle(
            [round(x0 * SS), round(y0 * SS), round(x1 * SS) - 1, round(y1 * SS) - 1],
            radius=round(r * SS), fill=fill)
        return self

    def ellipse(self, x0, y0, x1, y1, fill=255):
        self.d.ellipse([round(x0 * SS), round(y0 * SS), round(x1 * SS) - 1,
                        round(y1 * SS) - 1], fill=fill)
        return self

    def rect(self, x0, y0, x1, y1, fill=255):
        self.d.rectangle([round(x0 * SS), round(y0 * SS), round(x1 * SS) - 1,
                          round(y1 * SS) - 1], fill=fill)
        return self

    def poly(self, pts, fill=255):
        self.d.polygon([(x * SS, y * SS) for x, y in pts], fill=fill)
        return self

    def line(self, pts, width, fill=255):
        p = [(x * SS, y * SS) for x, y in pts]
        wpx = max(1, round(width * SS))
        self.d.line(p, fill=fill, width=wpx, joint="curve")
        r = wpx / 2
        for x, y in (p[0], p[-1]):
            self.d.ellipse([x - r, y - r, x + r, y + r], fill=fill)
        return self

    def arc(self, x0, y0, x1, y1, start, end, width, fill=255):
        self.d.arc([x0 * SS, y0 * SS, x1 * SS, y1 * SS], start, end, fill=fill,
                   width=max(1, round(width * SS)))
        return self

    def mask(self):
        return self.im.reduce(SS)


def m_and(a, b):
    return ImageChops.multiply(a, b)


def m_sub(a, b):
    return ImageChops.subtract(a, b)


def m_or(a, b):
    return ImageChops.lighter(a, b)


def m_scale(m, k):
    return m.point(lambda v: int(round(v * k)))


def paint(canvas, fill, mask, opacity=1.0, at=(0, 0)):
    """Composites a colour or an RGB image through mask onto an RGBA canvas."""
    w, h = mask.size
    if isinstance(fill, tuple):
        layer = Image.new("RGBA", (w, h), fill + (255,))
    else:
        layer = fill.convert("RGBA")
    a = mask if opacity >= 1.0 else m_scale(mask, opacity)
    layer.putalpha(a)
    canvas.alpha_composite(layer, dest=at)


_fonts = {}


def font(size):
    if size not in _fonts:
        _fonts[size] = ImageFont.truetype(FONT_FILE, size, index=0,
                                          layout_engine=ImageFont.Layout.BASIC)
    return _fonts[size]


def baseline_for(size, cy):
    """Baseline that puts the ink of CJK text vertically centred on cy."""
    l, t, r, b = font(size).getbbox("国", anchor="ls")
    return int(round(cy - (t + b) / 2.0))


def text_width(text, size, spacing=0):
    f = font(size)
    return int(round(sum(f.getlength(ch) for ch in text) + spacing * (len(text) - 1))) \
        if spacing else int(round(f.getlength(text)))


def text_mask(w, h, x, base, text, size, spacing=0, stroke=0):
    m = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(m)
    f = font(size)
    if spacing:
        cx = float(x)
        for ch in text:
            d.text((int(round(cx)), base), ch, font=f, fill=255, anchor="ls",
                   stroke_width=stroke, stroke_fill=255)
            cx += f.getlength(ch) + spacing
    else:
        d.text((x, base), text, font=f, fill=255, anchor="ls",
               stroke_width=stroke, stroke_fill=255)
    return m


def draw_text(canvas, x, base, text, size, colour, shadow=None, spacing=0,
              stroke=0, shadow_offset=(0, 1)):
    w, h = canvas.size
    if shadow is not None:
        sc, so = shadow
        sm = text_mask(w, h, x + shadow_offset[0], base + shadow_offset[1], text, size,
                       spacing, stroke)
        paint(canvas, sc, sm, so)
    m = text_mask(w, h, x, base, text, size, spacing, stroke)
    paint(canvas, colour, m)


def centred_text(canvas, cx, cy, text, size, colour, **kw):
    x = int(round(cx - text_width(text, size, kw.get("spacing", 0)) / 2.0))
    draw_text(canvas, x, baseline_for(size, cy), text, size, colour, **kw)


def rgba(size, colour):
    return Image.new("RGBA", size, colour + (255,))


def save_bmp(im, name):
    rgb = im.convert("RGB")
    path = os.path.join(OUT, name)
    colours = rgb.getcolors(256)
    if colours is None:
        rgb.save(path, format="BMP")
    else:
        write_palettized_bmp(path, rgb, sorted(c for _, c in colours))
    with Image.open(path) as written:
        if written.convert("RGB").tobytes() != rgb.tobytes():
            sys.exit("%s does not hold the pixels drawn" % name)


def write_palettized_bmp(path, rgb, palette):
    """Never 1 bit: LoadImage turns that into a monochrome bitmap, which BitBlt
    paints in the text and background colours of the window instead."""
    bits = 4 if len(palette) <= 16 else 8
    index = {c: i for i, c in enumerate(palette)}
    w, h = rgb.size
    px = rgb.load()
    stride = (w * bits + 31) // 32 * 4
    rows = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            i = index[px[x, y]]
            if bits == 8:
                row[x] = i
            else:
                row[x // 2] |= i << (0 if x % 2 else 4)
        rows += row
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(table)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(rows), 2835, 2835, len(palette), 0))
        f.write(table)
        f.write(rows)


def dotted_hline(canvas, x0, x1, y, colour):
    d = ImageDraw.Draw(canvas)
    for x in range(x0, x1, 2):
        d.point((x, y), fill=colour + (255,))


# ----------------------------------------------------------------- glyphs --

def shield_outline(x, y, w, h):
    """Polygon of a heater shield inside the box (x, y, w, h)."""
    pts = []

    def quad(p0, c, p1, n=24):
        for i in range(1, n + 1):
            t = i / n
            a = (1 - t) * (1 - t)
            b = 2 * (1 - t) * t
            cc = t * t
            pts.append((a * p0[0] + b * c[0] + cc * p1[0],
                        a * p0[1] + b * c[1] + cc * p1[1]))

    def P(u, v):
        return (x + u * w, y + v * h)

    pts.append(P(0.5, 0.0))
    quad(P(0.5, 0.0), P(0.76, 0.11), P(1.0, 0.10))
    pts.append(P(1.0, 0.46))
    quad(P(1.0, 0.46), P(0.98, 0.84), P(0.5, 1.0))
    quad(P(0.5, 1.0), P(0.02, 0.84), P(0.0, 0.46))
    pts.append(P(0.0, 0.10))
    quad(P(0.0, 0.10), P(0.24, 0.11), P(0.5, 0.0))
    return pts


def draw_shield(canvas, x, y, w, h, small=False, tick=None):
    """The Zorvane emblem: silver-rimmed blue shield with a white tick."""
    cw, ch = canvas.size
    rim = max(1.0, w * 0.085)
    outer = Shape(cw, ch).poly(shield_outline(x, y, w, h)).mask()
    inner_box = (x + rim, y + rim * 1.15, w - 2 * rim, h - 2.3 * rim)
    inner = Shape(cw, ch).poly(shield_outline(*inner_box)).mask()

    # soft drop shadow
    if not small:
        sh = outer.filter(ImageFilter.GaussianBlur(1.6))
        sh = ImageChops.offset(sh, 0, 1)
        paint(canvas, (0, 0x12, 0x30), sh, 0.55)

    rim_fill = gradient(cw, ch, [(0, (0xff, 0xff, 0xff)), (y / ch if ch else 0, (0xff, 0xff, 0xff)),
                                 (min(1.0, (y + h) / ch), (0xb9, 0xc9, 0xdd)), (1.0, (0xb9, 0xc9, 0xdd))])
    paint(canvas, rim_fill, outer)
    # thin dark edge around the rim so it reads on light backgrounds too
    edge = m_sub(outer, Shape(cw, ch).poly(shield_outline(x + 0.7, y + 0.8, w - 1.4, h - 1.5)).mask())
    paint(canvas, (0x0a, 0x35, 0x6c), edge, 0.55 if not small else 0.85)

    blue = gradient(cw, ch, [(0, (0x5c, 0xb0, 0xff)), (max(0.0, y / ch), (0x5c, 0xb0, 0xff)),
                             (min(1.0, (y + h) / ch), (0x10, 0x4f, 0xa6)), (1.0, (0x10, 0x4f, 0xa6))])
    paint(canvas, blue, inner)
    # right half a shade darker: gives the shield a ridge down the middle
    right = Shape(cw, ch).rect(x + w / 2.0, y, x + w + 1, y + h + 1).mask()
    paint(canvas, (0x06, 0x2a, 0x66), m_and(inner, right), 0.28)
    # gloss on the upper part
    if not small:
        gl = Shape(cw, ch).ellipse(x - w * 0.25, y - h * 0.55, x + w * 1.25, y + h * 0.42).mask()
        paint(canvas, WHITE, m_and(inner, gl), 0.22)
    # tick
    tw = tick or max(1.6, w * 0.13)
    tick = Shape(cw, ch).line([(x + w * 0.28, y + h * 0.50), (x + w * 0.45, y + h * 0.66),
                               (x + w * 0.74, y + h * 0.33)], tw).mask()
    if not small:
        paint(canvas, (0x03, 0x25, 0x5a), ImageChops.offset(tick.filter(ImageFilter.GaussianBlur(0.8)), 0, 1), 0.5)
    paint(canvas, WHITE, tick)


def draw_gear(canvas, cx, cy, r, colour, hole_colour=None, teeth=8):
    cw, ch = canvas.size
    sh = Shape(cw, ch)
    ri = r * 0.74
    pts = []
    n = teeth * 16
    for i in range(n):
        a = 2 * math.pi * i / n
        phase = (i % 16) / 16.0
        # trapezoid teeth: high for the middle of each period
        if 0.18 < phase < 0.52:
            rr = r
        elif 0.10 < phase <= 0.18:
            rr = ri + (r - ri) * (phase - 0.10) / 0.08
        elif 0.52 <= phase < 0.60:
            rr = r - (r - ri) * (phase - 0.52) / 0.08
        else:
            rr = ri
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    sh.poly(pts)
    m = sh.mask()
    hole = Shape(cw, ch).ellipse(cx - r * 0.34, cy - r * 0.34, cx + r * 0.34, cy + r * 0.34).mask()
    m = m_sub(m, hole)
    paint(canvas, colour, m)
    return m


def draw_magnifier(canvas, cx, cy, r, colour, width, opacity=1.0):
    cw, ch = canvas.size
    ring = Shape(cw, ch).ellipse(cx - r, cy - r, cx + r, cy + r).mask()
    ring = m_sub(ring, Shape(cw, ch).ellipse(cx - r + width, cy - r + width,
                                              cx + r - width, cy + r - width).mask())
    k = r / math.sqrt(2)
    handle = Shape(cw, ch).line([(cx + k + width * 0.2, cy + k + width * 0.2),
                                 (cx + k + r * 0.95, cy + k + r * 0.95)], width * 1.5).mask()
    paint(canvas, colour, m_or(ring, handle), opacity)


# ------------------------------------------------------ main window parts --

def draw_banner(c, fancy):
    W = c.size[0]
    c.alpha_composite(gradient(W, 64, [(0, BANNER_TOP), (0.55, (0x14, 0x4e, 0x98)),
                                       (1, BANNER_BOTTOM)]).convert("RGBA"), (0, 0))
    # quiet glow and a few wide arcs on the right
    glow = Shape(W, 64).ellipse(W - 330, -150, W + 120, 90).mask().filter(ImageFilter.GaussianBlur(18))
    paint(c, (0x6f, 0xb2, 0xff), glow, 0.16)
    if fancy:
        for i, r in enumerate((150, 190, 230)):
            arc = Shape(W, 64).arc(W - 60 - r, 40 - r, W - 60 + r, 40 + r, 150, 300, 1.2).mask()
            paint(c, WHITE, arc, 0.06 - i * 0.012)
    # top sheen and bottom highlight line
    sheen = gradient(W, 30, [(0, WHITE), (1, WHITE)])
    paint(c, sheen, gradient(W, 30, [(0, (60, 60, 60)), (1, (0, 0, 0))]).convert("L"), 0.35)
    d = ImageDraw.Draw(c)
    d.line([(0, 62), (W - 1, 62)], fill=(0x2f, 0x6f, 0xbf, 255))
    d.line([(0, 63), (W - 1, 63)], fill=(0x06, 0x2b, 0x5a, 255))

    if fancy:
        draw_shield(c, 16, 7, 40, 48)
        x = 68
        name_size = 30
        base = 35
        draw_text(c, x, base, "Zorvane", name_size, WHITE, shadow=((0, 0x18, 0x40), 0.6),
                  spacing=1, stroke=0, shadow_offset=(1, 2))
        # a hair of extra weight for the word mark
        draw_text(c, x + 1, base, "Zorvane", name_size, WHITE, spacing=1)
        draw_text(c, x + 1, 54, "反木马安全卫士", 13, (0xcf, 0xe2, 0xfa), spacing=3)
    else:
        draw_text(c, 24, 40, "Zorvane", 28, WHITE, shadow=((0, 0x18, 0x40), 0.5),
                  spacing=1, shadow_offset=(1, 2))
        draw_text(c, 25, 40, "Zorvane", 28, WHITE, spacing=1)


def draw_tab_strip(c):
    W = c.size[0]
    c.alpha_composite(gradient(W, 32, [(0, TAB_STRIP_TOP), (1, TAB_STRIP_BOTTOM)]).convert("RGBA"), (0, 64))
    d = ImageDraw.Draw(c)
    d.line([(0, 64), (W - 1, 64)], fill=(0xf4, 0xf8, 0xfd, 255))
    for x in TAB_XS:
        x0, x1, y0, y1 = x - 6, x + 98, 68, 95
        outer = Shape(W, c.size[1]).rrect(x0, y0, x1, y1, 4).mask()
        inner = Shape(W, c.size[1]).rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 3).mask()
        face = gradient(W, c.size[1], [(0, WHITE), (y0 / c.size[1], WHITE),
                                       (y1 / c.size[1], (0xe6, 0xef, 0xfa)), (1, (0xe6, 0xef, 0xfa))])
        paint(c, TAB_LINE, outer)
        paint(c, face, inner)
    d.line([(0, 95), (W - 1, 95)], fill=TAB_LINE + (255,))


def draw_body(c, fancy):
    W = c.size[0]
    d = ImageDraw.Draw(c)
    d.rectangle([0, 96, W - 1, 335], fill=BODY + (255,))
    # soft shade under the tab strip
    shade = gradient(W, 6, [(0, (0xd6, 0xe3, 0xf3)), (1, BODY)])
    c.alpha_composite(shade.convert("RGBA"), (0, 96))

    # status card
    x0, y0, x1, y1 = CARD_BOX
    H = c.size[1]
    sh = Shape(W, H).rrect(x0, y0 + 1, x1, y1 + 1, 6).mask().filter(ImageFilter.GaussianBlur(1.2))
    paint(c, (0x60, 0x80, 0xa8), sh, 0.22)
    paint(c, CARD_LINE, Shape(W, H).rrect(x0, y0, x1, y1, 6).mask())
    paint(c, CARD, Shape(W, H).rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5).mask())
    # row separators between the four indicator rows, and above the date line
    for y in (153, 181, 209):
        dotted_hline(c, 30, 318, y, ROW_LINE)
    d.line([(28, 246), (318, 246)], fill=ROW_LINE + (255,))
    # card title: a small navy pill sitting on the top edge
    title = "防护状态"
    tw = text_width(title, 12)
    px0, px1 = 22, 22 + 18 + tw + 10
    pill = Shape(W, H).rrect(px0, 99, px1, 117, 9).mask()
    paint(c, (0x0b, 0x3d, 0x7a), pill)
    paint(c, gradient(W, H, [(0, (0x3c, 0x82, 0xd6)), (99 / H, (0x3c, 0x82, 0xd6)),
                             (117 / H, (0x0e, 0x47, 0x92)), (1, (0x0e, 0x47, 0x92))]),
          Shape(W, H).rrect(px0 + 1, 100, px1 - 1, 116, 8).mask())
    draw_shield(c, px0 + 6, 102.5, 10, 12, small=True)
    draw_text(c, px0 + 20, baseline_for(12, 108), title, 12, WHITE)

    # divider between the status card and the big buttons
    if fancy:
        for y in range(116, 284):
            t = (y - 116) / 167.0
            a = math.sin(math.pi * t) ** 0.7
            col = lerp(BODY, (0xb8, 0xcc, 0xe6), a)
            d.point((352, y), fill=col + (255,))
            d.point((353, y), fill=lerp(BODY, WHITE, a) + (255,))
    # a faint bottom shade towards the footer
    shade2 = gradient(W, 8, [(0, BODY), (1, (0xdc, 0xe7, 0xf4))])
    c.alpha_composite(shade2.convert("RGBA"), (0, 328))


def draw_footer(c, fancy):
    W, H = c.size
    h = H - 336
    c.alpha_composite(gradient(W, h, [(0, FOOTER_TOP), (1, FOOTER_BOTTOM)]).convert("RGBA"), (0, 336))
    d = ImageDraw.Draw(c)
    d.line([(0, 336), (W - 1, 336)], fill=(0x06, 0x2b, 0x5a, 255))
    d.line([(0, 337), (W - 1, 337)], fill=(0x2c, 0x68, 0xb2, 255))
    if fancy:
        t = "Zorvane 反木马安全卫士"
        tw = text_width(t, 12)
        draw_text(c, W - 16 - tw, baseline_for(12, 352), t, 12, (0x7f, 0xa7, 0xd8))


def main_window(height, fancy):
    c = rgba((574, height), BODY)
    draw_banner(c, fancy)
    draw_tab_strip(c)
    draw_body(c, fancy)
    draw_footer(c, fancy)
    return c


# ----------------------------------------------------------------- headers --

def header_bar(title, note):
    W, H = 558, 26
    c = rgba((W, H), BODY)
    outer = Shape(W, H).rrect(0, 0, W, H, 3).mask()
    inner = Shape(W, H).rrect(1, 1, W - 1, H - 1, 2).mask()
    paint(c, ACCENT_EDGE, outer)
    paint(c, gradient(W, H, [(0, (0xfa, 0xa2, 0x38)), (0.5, (0xee, 0x82, 0x12)),
                             (1, (0xd8, 0x6a, 0x00))]), inner)
    paint(c, WHITE, m_and(inner, Shape(W, H).rect(0, 0, W, 12).mask()), 0.12)
    d = ImageDraw.Draw(c)
    d.line([(3, 1), (W - 4, 1)], fill=(0xff, 0xd8, 0x9c, 255))
    # an icon well on the left
    draw_magnifier(c, 16.5, 12, 5.2, WHITE, 1.7)
    base = baseline_for(12, 13)
    shadow = ((0x70, 0x30, 0x00), 0.7)
    draw_text(c, 32, base, title, 12, WHITE, shadow=shadow)
    draw_text(c, 33, base, title, 12, WHITE)          # title a touch bolder
    x = 33 + text_width(title, 12) + 8
    draw_text(c, x, base, "—— " + note, 12, WHITE, shadow=shadow)
    return c


# ------------------------------------------------------------------ panels --

def panel_base():
    W, H = 558, 214
    c = rgba((W, H), BODY)
    outer = Shape(W, H).rrect(0, -4, W, H, 3).mask()
    inner = Shape(W, H).rrect(1, -4, W - 1, H - 1, 2).mask()
    paint(c, CARD_LINE, outer)
    # a faint warm tint under the orange header bar, fading into the surface
    face = Image.new("RGB", (W, H), SURFACE)
    face.paste(gradient(W, 10, [(0, (0xfd, 0xf1, 0xe0)), (1, SURFACE)]), (0, 0))
    paint(c, face, inner)
    return c


def panel_scan():
    c = panel_base()
    W, H = c.size
    d = ImageDraw.Draw(c)
    # a quiet line above the status row under the text box
    d.line([(12, 184), (W - 13, 184)], fill=ROW_LINE + (255,))
    return c


def panel_ask():
    c = panel_base()
    W, H = c.size
    # explanation
    note = "输入要查询的文件名（例如 abc.exe），点击“查询”。"
    draw_text(c, 24, baseline_for(12, 46), note, 12, TEXT_GREY)
    ImageDraw.Draw(c).line([(24, 66), (440, 66)], fill=ROW_LINE + (255,))
    # large faint magnifier over a document on the right
    doc = Shape(W, H).rrect(438, 58, 500, 138, 4).mask()
    paint(c, (0xd9, 0xe6, 0xf5), doc)
    paint(c, WHITE, Shape(W, H).rrect(440, 60, 498, 136, 3).mask())
    for i, y in enumerate(range(72, 128, 9)):
        paint(c, (0xdc, 0xe7, 0xf4), Shape(W, H).rrect(448, y, 490 - (i % 3) * 8, y + 3, 1.5).mask())
    draw_magnifier(c, 492, 122, 22, (0x9f, 0xbf, 0xe4), 5.5, 0.9)
    lens = Shape(W, H).ellipse(492 - 16.5, 122 - 16.5, 492 + 16.5, 122 + 16.5).mask()
    paint(c, (0xe8, 0xf2, 0xfd), lens, 0.55)
    return c


# ------------------------------------------------------------- big buttons --

def big_button(kind, state, backdrop):
    W, H = BIG_W, BIG_H
    c = backdrop.copy().convert("RGBA")
    dy = 1 if state == 2 else 0
    x0, y0, x1, y1 = 3, 2 + dy, W - 3, H - 4 + dy
    r = 8
    if kind == "scan":
        stops = [(0, (0xff, 0xc4, 0x63)), (0.48, (0xfc, 0x9b, 0x26)),
                 (0.52, (0xf5, 0x8a, 0x10)), (1, (0xe6, 0x74, 0x00))]
        edge, text_shadow = ACCENT_EDGE, (0x8a, 0x40, 0x00)
        glow_col = (0xff, 0xa8, 0x30)
    else:
        stops = [(0, (0x5f, 0xa8, 0xf2)), (0.48, (0x2f, 0x82, 0xdc)),
                 (0.52, (0x22, 0x72, 0xcc)), (1, (0x14, 0x5a, 0xb0))]
        edge, text_shadow = (0x0c, 0x3f, 0x85), (0x05, 0x25, 0x55)
        glow_col = (0x4a, 0x9c, 0xff)
    if state == 1:
        stops = [(p, mix(col, WHITE, 0.16)) for p, col in stops]
    elif state == 2:
        stops = [(p, mix(col, (0, 0, 0), 0.13)) for p, col in [stops[-1], stops[1], stops[2], stops[0]]]
        stops = [(0, stops[0][1]), (0.48, stops[1][1]), (0.52, stops[2][1]), (1, stops[3][1])]

    # shadow or glow behind the face
    base = Shape(W, H).rrect(x0, y0, x1, y1, r).mask()
    if state == 1:
        g = base.filter(ImageFilter.GaussianBlur(2.2))
        paint(c, glow_col, g, 0.85)
    elif state == 0:
        s = ImageChops.offset(base, 0, 1).filter(ImageFilter.GaussianBlur(1.3))
        paint(c, (0x40, 0x58, 0x78), s, 0.35)

    paint(c, edge, base)
    inner = Shape(W, H).rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1).mask()
    face = Image.new("RGB", (W, H))
    face.paste(gradient(W, y1 - y0, stops), (0, y0))
    paint(c, face, inner)
    if state != 2:
        # glossy upper half and a bright inner rim
        gloss = m_and(inner, Shape(W, H).rrect(x0 + 1, y0 + 1, x1 - 1, y0 + (y1 - y0) * 0.5, r - 1).mask())
        paint(c, WHITE, gloss, 0.18 if state == 0 else 0.24)
        rim = m_sub(inner, Shape(W, H).rrect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, r - 2).mask())
        paint(c, WHITE, m_and(rim, Shape(W, H).rect(0, 0, W, y0 + (y1 - y0) * 0.6).mask()), 0.45)
    else:
        # inset shadow along the top edge
        rim = m_sub(inner, Shape(W, H).rrect(x0 + 1, y0 + 3, x1 - 1, y1 - 1, r - 1).mask())
        paint(c, (0, 0, 0), rim, 0.18)

    caption = "查杀病毒木马" if kind == "scan" else "系统设置"
    size = 15
    icon_w = 30
    gap = 8
    tw = text_width(caption, size)
    total = icon_w + gap + tw
    left = (x0 + x1) / 2.0 - total / 2.0
    cy = (y0 + y1) / 2.0
    icx = left + icon_w / 2.0
    if kind == "scan":
        # a white shield with a magnifier in front of it
        draw_shield_plain(c, icx - 12, cy - 14, 22, 26, text_shadow)
        draw_magnifier(c, icx + 5, cy + 4, 5.5, text_shadow, 2.4, 0.45)
        draw_magnifier(c, icx + 4.5, cy + 3, 5.5, WHITE, 2.2)
        lens = Shape(W, H).ellipse(icx + 4.5 - 3.3, cy + 3 - 3.3, icx + 4.5 + 3.3, cy + 3 + 3.3).mask()
        paint(c, (0x7c, 0xc0, 0xff), lens)
    else:
        shadow_layer = rgba((W, H), (0, 0, 0))
        shadow_layer.putalpha(0)
        m = draw_gear(shadow_layer, icx, cy + 1, 13, text_shadow)
        paint(c, text_shadow, m, 0.5)
        draw_gear(c, icx, cy, 13, WHITE)
        paint(c, face, Shape(W, H).ellipse(icx - 4.4, cy - 4.4, icx + 4.4, cy + 4.4).mask())
    tx = int(round(left + icon_w + gap))
    base_y = baseline_for(size, cy)
    draw_text(c, tx, base_y, caption, size, WHITE, shadow=(text_shadow, 0.6))
    draw_text(c, tx + 1, base_y, caption, size, WHITE)
    return c


def draw_shield_plain(canvas, x, y, w, h, shadow):
    cw, ch = canvas.size
    outer = Shape(cw, ch).poly(shield_outline(x, y, w, h)).mask()
    paint(canvas, shadow, ImageChops.offset(outer, 0, 1), 0.45)
    paint(canvas, WHITE, outer)
    inner = Shape(cw, ch).poly(shield_outline(x + 2.2, y + 2.5, w - 4.4, h - 5)).mask()
    paint(canvas, (0xff, 0xe2, 0xb4), m_and(inner, Shape(cw, ch).rect(x, y, x + w / 2.0, y + h).mask()))
    paint(canvas, (0xff, 0xd0, 0x8a), m_and(inner, Shape(cw, ch).rect(x + w / 2.0, y, x + w, y + h).mask()))


# ----------------------------------------------------------- small buttons --

def small_button(caption, state):
    W, H = 75, 21
    c = rgba((W, H), SURFACE)
    if state == 0:
        edge = (0x7d, 0x9d, 0xc8)
        stops = [(0, WHITE), (0.5, (0xf1, 0xf6, 0xfc)), (0.52, (0xe4, 0xee, 0xf9)), (1, (0xd6, 0xe4, 0xf4))]
        colour = TEXT_DARK
    else:
        edge = (0xe0, 0x86, 0x1c)
        stops = [(0, (0xff, 0xfb, 0xf2)), (0.5, (0xff, 0xef, 0xd4)), (0.52, (0xff, 0xe2, 0xb6)),
                 (1, (0xff, 0xd3, 0x94))]
        colour = (0x5a, 0x2c, 0x00)
    paint(c, edge, Shape(W, H).rrect(0, 0, W, H, 3.5).mask())
    paint(c, gradient(W, H, stops), Shape(W, H).rrect(1, 1, W - 1, H - 1, 2.5).mask())
    ImageDraw.Draw(c).line([(3, 1), (W - 4, 1)], fill=WHITE + (255,))
    centred_text(c, W / 2.0, 10.5, caption, 12, colour)
    return c


# -------------------------------------------------------------- indicators --

def led(on, backdrop):
    W = H = 16
    big = 16 * SS
    c = backdrop.copy().convert("RGBA")
    if on:
        rim, hi, mid, lo = (0x1c, 0x7a, 0x14), (0xc8, 0xff, 0xa8), (0x3c, 0xc8, 0x2a), (0x17, 0x86, 0x0e)
    else:
        rim, hi, mid, lo = (0x8a, 0x90, 0x98), (0xf2, 0xf4, 0xf6), (0xc4, 0xc9, 0xcf), (0x9c, 0xa3, 0xab)
    if on:
        halo = Shape(W, H).ellipse(0, 0, 16, 16).mask().filter(ImageFilter.GaussianBlur(0.8))
        paint(c, (0x5c, 0xe0, 0x48), halo, 0.35)
    else:
        halo = Shape(W, H).ellipse(1.5, 2.5, 14.5, 15.5).mask().filter(ImageFilter.GaussianBlur(0.8))
        paint(c, (0x70, 0x80, 0x90), halo, 0.25)
    paint(c, rim, Shape(W, H).ellipse(1.5, 1.5, 14.5, 14.5).mask())
    # radial fill, lit from the upper left
    fill = Image.new("RGB", (big, big))
    px = fill.load()
    cx, cy = 6.2 * SS, 5.8 * SS
    for yy in range(big):
        for xx in range(big):
            dist = math.hypot(xx + 0.5 - cx, yy + 0.5 - cy) / (7.6 * SS)
            t = min(1.0, dist)
            px[xx, yy] = lerp(hi, mid, t / 0.55) if t < 0.55 else lerp(mid, lo, (t - 0.55) / 0.45)
    fill = fill.resize((W, H), Image.LANCZOS)
    paint(c, fill, Shape(W, H).ellipse(2.5, 2.5, 13.5, 13.5).mask())
    shine = Shape(W, H).ellipse(4.3, 3.6, 9.2, 7.4).mask().filter(ImageFilter.GaussianBlur(0.4))
    paint(c, WHITE, shine, 0.85 if on else 0.7)
    return c


# ------------------------------------------------------------------ dialog --

def dialog_bg():
    W, H = 400, 180
    c = rgba((W, H), SURFACE)
    c.alpha_composite(gradient(W, 24, [(0, BANNER_TOP), (1, BANNER_BOTTOM)]).convert("RGBA"), (0, 0))
    glow = Shape(W, 24).ellipse(W - 220, -60, W + 80, 30).mask().filter(ImageFilter.GaussianBlur(12))
    paint(c, (0x6f, 0xb2, 0xff), glow, 0.18, at=(0, 0))
    d = ImageDraw.Draw(c)
    d.line([(0, 0), (W - 1, 0)], fill=(0x3d, 0x7f, 0xcc, 255))
    d.line([(0, 23), (W - 1, 23)], fill=(0x06, 0x2b, 0x5a, 255))
    d.line([(0, 24), (W - 1, 24)], fill=ACCENT + (255,))
    c.alpha_composite(gradient(W, 8, [(0, (0xe3, 0xec, 0xf7)), (1, SURFACE)]).convert("RGBA"), (0, 25))
    # watermark emblem in the lower right corner
    wm = rgba((W, H), SURFACE)
    draw_shield(wm, W - 78, H - 92, 64, 78, small=True)
    wm_mask = Shape(W, H).poly(shield_outline(W - 78, H - 92, 64, 78)).mask()
    paint(c, wm.convert("RGB"), wm_mask, 0.07)
    return c


def about_banner():
    """Drawn at the top left of the about box (client 361 x 279) over the
    dialog colour #E6EFF7, which its bottom edge leads into."""
    W, H = 362, 52
    c = rgba((W, H), (0xe6, 0xef, 0xf7))
    c.alpha_composite(gradient(W, 49, [(0, BANNER_TOP), (0.55, (0x14, 0x4e, 0x98)),
                                       (1, BANNER_BOTTOM)]).convert("RGBA"), (0, 0))
    glow = Shape(W, 49).ellipse(W - 200, -110, W + 90, 60).mask().filter(ImageFilter.GaussianBlur(14))
    paint(c, (0x6f, 0xb2, 0xff), glow, 0.18)
    for i, r in enumerate((110, 140, 170)):
        arc = Shape(W, 49).arc(W - 40 - r, 34 - r, W - 40 + r, 34 + r, 150, 300, 1.2).mask()
        paint(c, WHITE, arc, 0.07 - i * 0.015)
    paint(c, WHITE, gradient(W, 22, [(0, (50, 50, 50)), (1, (0, 0, 0))]).convert("L"), 0.35)
    d = ImageDraw.Draw(c)
    d.line([(0, 48), (W - 1, 48)], fill=(0x06, 0x2b, 0x5a, 255))
    d.line([(0, 49), (W - 1, 49)], fill=ACCENT + (255,))
    d.line([(0, 50), (W - 1, 50)], fill=ACCENT_LIGHT + (255,))
    draw_shield(c, 14, 5, 32, 38)
    draw_text(c, 56, 29, "Zorvane", 24, WHITE, shadow=((0, 0x18, 0x40), 0.6),
              spacing=1, shadow_offset=(1, 2))
    draw_text(c, 57, 29, "Zorvane", 24, WHITE, spacing=1)
    draw_text(c, 57, 43, "反木马安全卫士", 12, (0xcf, 0xe2, 0xfa), spacing=2)
    version = "v3.3"
    draw_text(c, W - 16 - text_width(version, 13), 42, version, 13, (0xcf, 0xe2, 0xfa))
    return c


# -------------------------------------------------------------- icon files --

def write_ico(path, images):
    """ICO with 32-bit BGRA entries plus AND masks (readable by every Windows)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for im in images:
        w, h = im.size
        im = im.convert("RGBA")
        px = im.load()
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                r, g, b, a = px[x, y]
                if a == 0:
                    r = g = b = 0
                xor += bytes((b, g, r, a))
        row = ((w + 31) // 32) * 4
        andm = bytearray()
        for y in range(h - 1, -1, -1):
            bits = bytearray(row)
            for x in range(w):
                if px[x, y][3] < 128:
                    bits[x // 8] |= 0x80 >> (x % 8)
            andm += bits
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
        blob = header + bytes(xor) + bytes(andm)
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)))
        for e in entries:
            f.write(e)
        for b in blobs:
            f.write(b)


def icon_image(size):
    c = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    if size <= 16:
        draw_shield(c, 0.5, 0, 15, 16, small=True, tick=2.5)
    elif size <= 32:
        draw_shield(c, 2, 0.5, 28, 31, small=True, tick=4.2)
    else:
        draw_shield(c, 4, 1.5, 40, 45)
    return c


# Index finger straight up, tip at (10, 10). X black, o white, . transparent.
HAND = {
    10: ".........XXX",
    11: "........XoooX",
    12: "........XoooX",
    13: "........XoooX",
    14: "........XoooX",
    15: "........XoooXXX",
    16: "........XoooXooXXX",
    17: "........XoooXooXooXXX",
    18: "........XoooXooXooXooX",
    19: "...XX...XoooXooXooXooX",
    20: "..XooX..XooooooooooooX",
    21: "..XoooXXoooooooooooooX",
    22: "...XooooooooooooooooX",
    23: "....XoooooooooooooooX",
    24: "....XoooooooooooooooX",
    25: ".....XooooooooooooooX",
    26: ".....XoooooooooooooX",
    27: "......XooooooooooooX",
    28: "......XooooooooooooX",
    29: ".......XoooooooooooX",
    30: ".......XoooooooooooX",
    31: ".......XXXXXXXXXXXXX",
}


def write_cursor(path, hot=(10, 10)):
    w = h = 32
    grid = [["."] * w for _ in range(h)]
    for y, row in HAND.items():
        for x, ch in enumerate(row):
            grid[y][x] = ch
    assert grid[hot[1]][hot[0]] == "X" and all(grid[y][hot[0]] == "." for y in range(hot[1]))
    xor, andm = bytearray(), bytearray()
    for y in range(h - 1, -1, -1):           # bottom-up rows, 4 bytes each
        xb, ab = bytearray(4), bytearray(4)
        for x in range(w):
            bit = 0x80 >> (x % 8)
            ch = grid[y][x]
            if ch == ".":
                ab[x // 8] |= bit            # transparent: AND 1, XOR 0
            elif ch == "o":
                xb[x // 8] |= bit            # white: AND 0, XOR 1 (palette entry 1)
        xor += xb
        andm += ab
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    bih = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 1, 0, len(xor) + len(andm), 0, 0, 2, 0)
    image = bih + palette + bytes(xor) + bytes(andm)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 2, 1))
        f.write(struct.pack("<BBBBHHII", w, h, 2, 0, hot[0], hot[1], len(image), 6 + 16))
        f.write(image)


# ------------------------------------------------------------------ sounds --

RATE = 22050


def write_wav(path, samples):
    peak = max(abs(s) for s in samples)
    assert peak <= 1.0, "clipped"
    data = b"".join(struct.pack("<h", int(round(s * 32767))) for s in samples)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data)


def blip():
    n = int(RATE * 0.12)
    out = []
    tones = ((1318.5, 0.000, 0.070), (1975.5, 0.045, 0.120))   # E6 then B6
    for i in range(n):
        t = i / RATE
        s = 0.0
        for f, start, end in tones:
            if start <= t < end:
                u = t - start
                env = min(1.0, u / 0.004) * math.exp(-u * 38.0)
                s += 0.32 * env * math.sin(2 * math.pi * f * u)
        fade = min(1.0, (n - 1 - i) / (RATE * 0.012))
        out.append(s * fade)
    return out


def siren():
    n = int(RATE * 1.2)
    hi, lo, seg = 940.0, 700.0, 0.15
    out = []
    phase = 0.0
    for i in range(n):
        t = i / RATE
        k = int(t / seg)
        u = (t - k * seg) / seg
        f_now = hi if k % 2 == 0 else lo
        f_prev = lo if k % 2 == 0 else hi
        glide = min(1.0, u / 0.12)
        f = f_prev + (f_now - f_prev) * (0.5 - 0.5 * math.cos(math.pi * glide)) if k else f_now
        phase += 2 * math.pi * f / RATE
        s = math.sin(phase) + 0.22 * math.sin(3 * phase) + 0.08 * math.sin(5 * phase)
        env = min(1.0, t / 0.06) * min(1.0, (1.2 - t) / 0.15)
        out.append(env * s)
    peak = max(abs(v) for v in out)
    return [0.85 * v / peak for v in out]


# -------------------------------------------------------------------- main --

def main():
    os.makedirs(OUT, exist_ok=True)

    sk = main_window(368, fancy=True)
    bg = main_window(369, fancy=False)
    save_bmp(sk, "sk.bmp")
    save_bmp(bg, "bg.bmp")

    save_bmp(header_bar("可疑文件扫描", "查找带有键盘钩子特征且非微软发布的程序文件"), "header_scan.bmp")
    save_bmp(header_bar("可疑文件查询", "查询文件是否为已知的可疑文件"), "header_ask.bmp")
    save_bmp(panel_scan(), "panel_scan.bmp")
    save_bmp(panel_ask(), "panel_ask.bmp")

    sk_rgb = sk.convert("RGB")
    bg_rgb = bg.convert("RGB")
    for kind, (x, y) in BIG_BUTTONS.items():
        box = (x, y, x + BIG_W, y + BIG_H)
        backdrop = sk_rgb.crop(box)
        if ImageChops.difference(backdrop, bg_rgb.crop(box)).getbbox():
            sys.exit("big button area differs between sk.bmp and bg.bmp")
        for state in range(3):
            save_bmp(big_button(kind, state, backdrop), "%s_%d.bmp" % (kind, state))

    for name, caption in (("ok", "确定"), ("query", "查询"), ("save", "保存"), ("history", "历史记录")):
        for state in range(2):
            save_bmp(small_button(caption, state), "%s_%d.bmp" % (name, state))

    led_box = (LED_X, LED_ROWS[0] - 1, LED_X + 16, LED_ROWS[0] + 15)
    led_back = sk_rgb.crop(led_box)
    for y in LED_ROWS:
        box = (LED_X, y - 1, LED_X + 16, y + 15)
        for im in (sk_rgb, bg_rgb):
            if ImageChops.difference(im.crop(box), led_back).getbbox():
                sys.exit("indicator area at y=%d is not plain" % y)
    save_bmp(led(True, led_back), "led_on.bmp")
    save_bmp(led(False, led_back), "led_off.bmp")

    save_bmp(dialog_bg(), "dlg_bg.bmp")
    save_bmp(about_banner(), "about_banner.bmp")

    write_ico(os.path.join(OUT, "app.ico"), [icon_image(s) for s in (16, 32, 48)])
    write_cursor(os.path.join(OUT, "hand.cur"))

    write_wav(os.path.join(OUT, "bf.wav"), blip())
    write_wav(os.path.join(OUT, "Alert.wav"), siren())


if __name__ == "__main__":
    main()
