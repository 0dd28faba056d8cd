#!/usr/bin/env python3
"""Renders the product skin from its sources into one folder ready to pack.

usage: render_skin.py SKIN_FOLDER OUTPUT_FOLDER

- SKIN_FOLDER/src/palette.ini: the colours. Every {{name}} in a description
  or a drawing becomes that colour as #RRGGBB; the shades of "brand" (hover,
  pressed, disabled, tints) are derived here, so one line changes the brand.
- SKIN_FOLDER/*.xml: the window descriptions, copied with their colours filled in.
- SKIN_FOLDER/src/*.svg: the images, rendered with rsvg-convert (Debian
  package librsvg2-bin) to name.png at the drawing's own size and to
  name@2x.png at twice that size, for windows at 144 DPI and more.
- SKIN_FOLDER/src/icon/: the window icon, rendered at 16, 32, 48 and 256
  pixels (the two small sizes from a simpler drawing that stays legible)
  and assembled into downloader.ico.

OUTPUT_FOLDER is emptied first, so it holds exactly what the sources give,
and the same sources give the same bytes on every run.
"""
import configparser
import os
import re
import shutil
import struct
import subprocess
import sys
import zlib

TOKEN = re.compile(r"\{\{(\w+)\}\}")
ICON_SIZES = {16: "downloader_small.svg", 32: "downloader_small.svg", 48: "downloader.svg", 256: "downloader.svg"}


def parse_rgb(text):
    text = text.strip().lstrip("#")
    if not re.fullmatch(r"[0-9A-Fa-f]{6}", text):
        raise ValueError("not a #RRGGBB colour: %r" % text)
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, amount):
    """`amount` of colour b over colour a."""
    return tuple(round(x + (y - x) * amount) for x, y in zip(a, b))


def load_palette(path):
    parser = configparser.ConfigParser()
    if not parser.read(path, encoding="utf-8"):
        sys.exit("render_skin: cannot read %s" % path)
    colours = {name: parse_rgb(value) for name, value in parser["palette"].items()}
    black, white = (0, 0, 0), (255, 255, 255)
    brand = colours["brand"]
    # The brand's shades: darker for hover and press, paler for disabled
    # and for the quiet tinted surfaces behind illustrations.
    colours.update({
        "brand_hot": mix(brand, black, 0.12),
        "brand_pushed": mix(brand, black, 0.24),
        "brand_deep": mix(brand, black, 0.42),
        "brand_light": mix(brand, white, 0.30),
        "brand_disabled": mix(brand, white, 0.55),
        "brand_soft": mix(brand, white, 0.80),
        "brand_tint": mix(brand, white, 0.93),
        "danger_pushed": mix(colours["danger"], black, 0.15),
        "surface_hot": mix(colours["surface"], colours["ink"], 0.04),
        "surface_pushed": mix(colours["surface"], colours["ink"], 0.09),
    })
    return {name: "#%02X%02X%02X" % rgb for name, rgb in colours.items()}


def fill_colours(text, palette, source):
    def replace(match):
        name = match.group(1)
        if name not in palette:
            sys.exit("render_skin: %s names the unknown colour {{%s}}" % (source, name))
        return palette[name]
    return TOKEN.sub(replace, text)


def rsvg(svg_text, output, zoom=None, size=None):
    command = ["rsvg-convert", "--format", "png", "--output", output]
    if zoom is not None:
        command += ["--zoom", str(zoom)]
    if size is not None:
        command += ["--width", str(size), "--height", str(size)]
    try:
        subprocess.run(command, input=svg_text.encode("utf-8"), check=True)
    except FileNotFoundError:
        sys.exit("render_skin: rsvg-convert is missing (Debian package librsvg2-bin; scripts/setup.sh installs it)")


def read_png_rgba(path):
    """Pixels of an 8-bit RGB or RGBA, non-interlaced PNG (what rsvg-convert
    writes), as rows of RGBA bytes."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("render_skin: %s is not a PNG" % path)
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or colour_type not in (2, 6) or interlace != 0:
        sys.exit("render_skin: %s is not 8-bit RGB or RGBA" % path)
    raw = zlib.decompress(idat)
    channels = 4 if colour_type == 6 else 3
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[x] = (line[x] + predictor) & 0xFF
        previous = line
        if channels == 3:
            line = b"".join(bytes(line[x:x + 3]) + b"\xff" for x in range(0, stride, 3))
        rows.append(bytes(line))
    return width, height, rows


def icon_entry_bitmap(path):
    """A classic 32-bit icon image (BGRA, bottom-up, with its AND mask) for the small sizes."""
    width, height, rows = read_png_rgba(path)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((width + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return bytes(info + pixels + mask)


def write_icon(output, images):
    """images: list of (size, bytes); 256 is stored as PNG, as Windows expects."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    directory, blobs = b"", b""
    for size, blob in images:
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(blob), offset + len(blobs))
        blobs += blob
    with open(output, "wb") as f:
        f.write(header + directory + blobs)


def render(skin, output):
    palette = load_palette(os.path.join(skin, "src", "palette.ini"))
    if os.path.isdir(output):
        shutil.rmtree(output)
    os.makedirs(output)

    for name in sorted(os.listdir(skin)):
        if name.endswith(".xml"):
            with open(os.path.join(skin, name), encoding="utf-8") as f:
                text = fill_colours(f.read(), palette, name)
            with open(os.path.join(output, name), "w", encoding="utf-8", newline="") as f:
                f.write(text)

    drawings = os.path.join(skin, "src")
    for name in sorted(os.listdir(drawings)):
        if not name.endswith(".svg"):
            continue
        with open(os.path.join(drawings, name), encoding="utf-8") as f:
            svg = fill_colours(f.read(), palette, name)
        base = os.path.join(output, name[:-4])
        rsvg(svg, base + ".png", zoom=1)
        rsvg(svg, base + "@2x.png", zoom=2)

    icon_folder = os.path.join(drawings, "icon")
    scratch = os.path.join(output, ".icon")
    os.makedirs(scratch)
    images = []
    for size, source in sorted(ICON_SIZES.items()):
        with open(os.path.join(icon_folder, source), encoding="utf-8") as f:
            svg = fill_colours(f.read(), palette, source)
        png = os.path.join(scratch, "%d.png" % size)
        rsvg(svg, png, size=size)
        if size >= 256:
            with open(png, "rb") as f:
                images.append((size, f.read()))
        else:
            images.append((size, icon_entry_bitmap(png)))
    shutil.rmtree(scratch)
    write_icon(os.path.join(output, "downloader.ico"), images)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    render(sys.argv[1], sys.argv[2])
