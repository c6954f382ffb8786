#!/usr/bin/env python3
"""make_icons: build Morvane's icons from text pixel art.

Usage: make_icons.py OUTDIR [--source DIR] [--png]

The TV is drawn for every size a display asks for: res/icons/tvN.txt (or
those in --source DIR) for N = 16, 20, 24, 32, 40, 48 and 256, each a square
of N rows of N characters.  Those of 16, 32 and 48 pixels are 16-colour
bitmaps (4 bits per pixel with an AND mask); the others are 32-bit PNGs: the
256, for Explorer's large views, as Windows expects of that size, and 20, 24
and 40 (see PNG_SIZES).

Writes into OUTDIR:
    tvN.img        each picture once, as an icon resource holds it; the
                   resource script numbers them 1 to 7, smallest first
    morvane.grp    icon 107's group: every picture
    small.grp      icon 108's group: the small-icon sizes, 16 to 48
    morvane.ico    every picture in one icon file, for the installer
--png also writes an enlarged preview of each picture (OUTDIR/preview-N.png)
to look at while editing.

In the art, lines starting with '#' and blank lines are ignored.  A character
picks a colour of the standard 16-colour Windows palette:

    .  transparent     0  black       8  dark grey
                       1  maroon      9  red
                       2  green       A  lime
                       3  olive       B  yellow
                       4  navy        C  blue
                       5  purple      D  magenta
                       6  teal        E  cyan
                       7  light grey  F  white
"""

import os
import struct
import sys
import tempfile
import zlib

PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
TRANSPARENT = None
# Smallest first: a picture's place here, from 1, is its number as an icon resource.
SIZES = (16, 20, 24, 32, 40, 48, 256)
# Stored as PNG. Windows reads a PNG in an icon at any size (since Vista). Rows of 20, 24 or 40
# pixels are no multiple of 16: Wine's shell then hands the taskbar a notification icon's mask cut
# short (it counts the mask's bits, where its rows are padded to 16), and garbles the bottom rows;
# an icon with alpha, as a PNG makes it, is drawn without its mask.
PNG_SIZES = (20, 24, 40, 256)

# Group file -> the sizes it lists.
GROUPS = {
    "morvane.grp": SIZES,
    "small.grp": (16, 20, 24, 32, 40, 48),
}


class ArtError(Exception):
    pass


def parse_art(text, name, size):
    """Text pixel art of size x size to a list of rows of palette indices
    (None = transparent)."""
    rows = []
    first_line = None
    for line_no, line in enumerate(text.splitlines(), 1):
        line = line.rstrip()
        if not line or line.startswith("#"):
            continue
        if first_line is None:
            first_line = line_no
        row = []
        for col, ch in enumerate(line, 1):
            if ch == ".":
                row.append(TRANSPARENT)
            elif ch in "0123456789ABCDEFabcdef":
                row.append(int(ch, 16))
            else:
                raise ArtError("%s:%d: character %r in column %d is not a colour "
                               "(use '.' or 0-9, A-F)" % (name, line_no, ch, col))
        if rows and len(row) != len(rows[0]):
            raise ArtError("%s:%d: row has %d pixels, the first row (line %d) has %d"
                           % (name, line_no, len(row), first_line, len(rows[0])))
        rows.append(row)
    if not rows:
        raise ArtError("%s: no pixel rows" % name)
    if (len(rows[0]), len(rows)) != (size, size):
        raise ArtError("%s: picture is %dx%d; it must be %dx%d"
                       % (name, len(rows[0]), len(rows), size, size))
    return rows


def _padded(row_bytes):
    return row_bytes + bytes(-len(row_bytes) % 4)


def icon_image(rows):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit XOR bitmap and 1-bit
    AND mask, both stored bottom row first."""
    size = len(rows)
    xor = b""
    mask = b""
    for row in reversed(rows):
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        xor += _padded(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2)))
        bits = bytearray((size + 7) // 8)
        for x, p in enumerate(row):
            if p is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += _padded(bytes(bits))
    # The height counts the XOR bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    return header + palette + xor + mask


def encode_png(width, height, colour_type, pixel_rows):
    """A PNG of 8 bits a channel; each row's bytes go unfiltered, which packs
    these flat colours best."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + row for row in pixel_rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def png_image(rows):
    """The picture as a 32-bit RGBA PNG, the form Windows reads in an icon."""
    return encode_png(len(rows), len(rows), 6, [
        b"".join(b"\0\0\0\0" if p is TRANSPARENT else bytes(PALETTE[p]) + b"\xff" for p in row)
        for row in rows])


def picture(rows):
    return png_image(rows) if len(rows) in PNG_SIZES else icon_image(rows)


def directory_entry(size, image):
    """The fields an icon file and an icon group share: width, height, colours,
    reserved, planes, bits per pixel, length.  256 is written as 0."""
    if size in PNG_SIZES:
        return struct.pack("<BBBBHHI", size % 256, size % 256, 0, 0, 1, 32, len(image))
    return struct.pack("<BBBBHHI", size, size, 16, 0, 1, 4, len(image))


def build_group(images, sizes):
    """An icon group resource: the directory of an icon file, with each
    picture's resource number in place of its offset."""
    data = struct.pack("<HHH", 0, 1, len(sizes))
    for size in sizes:
        data += directory_entry(size, images[size]) + struct.pack("<H", SIZES.index(size) + 1)
    return data


def build_ico(images):
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size in SIZES:
        data += directory_entry(size, images[size]) + struct.pack("<I", offset)
        offset += len(images[size])
    return data + b"".join(images[size] for size in SIZES)


def preview(rows, scale):
    """An enlarged preview; transparent pixels show as a grey checkerboard."""
    size = len(rows) * scale
    lines = []
    for y in range(size):
        line = bytearray()
        for x in range(size):
            p = rows[y // scale][x // scale]
            if p is TRANSPARENT:
                shade = 0xDD if ((x // 4) + (y // 4)) % 2 else 0xF4
                line += bytes((shade, shade, shade))
            else:
                line += bytes(PALETTE[p])
        lines.append(bytes(line))
    return encode_png(size, size, 2, lines)


def write_atomically(path, data):
    fd, tmp = tempfile.mkstemp(prefix=".icons-", dir=os.path.dirname(os.path.abspath(path)))
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(tmp, 0o666 & ~umask)
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def main(argv):
    args = argv[1:]
    want_png = "--png" in args
    args = [a for a in args if a != "--png"]
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "icons")
    if len(args) >= 2 and args[-2] == "--source":
        source = args[-1]
        args = args[:-2]
    if len(args) != 1 or args[0].startswith("-"):
        sys.stderr.write("usage: make_icons.py OUTDIR [--source DIR] [--png]\n")
        return 2
    outdir = args[0]

    pictures = {}
    try:
        for size in SIZES:
            name = "tv%d.txt" % size
            path = os.path.join(source, name)
            try:
                with open(path, encoding="ascii") as f:
                    text = f.read()
            except (OSError, UnicodeDecodeError) as e:
                raise ArtError("cannot read %s: %s" % (path, e))
            pictures[size] = parse_art(text, name, size)
    except ArtError as e:
        sys.stderr.write("make_icons: %s\n" % e)
        return 1

    images = {size: picture(rows) for size, rows in pictures.items()}
    outputs = {"tv%d.img" % size: image for size, image in images.items()}
    outputs.update((name, build_group(images, sizes)) for name, sizes in GROUPS.items())
    outputs["morvane.ico"] = build_ico(images)
    if want_png:
        outputs.update(("preview-%d.png" % size, preview(rows, max(1, 256 // size)))
                       for size, rows in pictures.items())
    try:
        os.makedirs(outdir, exist_ok=True)
        for name, data in outputs.items():
            write_atomically(os.path.join(outdir, name), data)
    except OSError as e:
        sys.stderr.write("make_icons: cannot write to %s: %s\n" % (outdir, e.strerror))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
