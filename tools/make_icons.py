#!/usr/bin/env python3
"""make_icons: build Morvane's icons from text pixel art.

Usage: make_icons.py OUTDIR [--source DIR] [--png]

Writes OUTDIR/morvane.ico (icon 107: 32x32 and 16x16) and OUTDIR/small.ico
(icon 108: 16x16), both 16-colour (4 bits per pixel with an AND mask).
--png also writes an enlarged preview of each picture (OUTDIR/preview-32.png,
OUTDIR/preview-16.png) to look at while editing.

The pictures are res/icons/tv32.txt and res/icons/tv16.txt (or those in
--source DIR).  Each is a square of 16 or 32 rows of 16 or 32 characters;
lines starting with '#' and blank lines are ignored.  A character picks a
colour of the standard 16-colour Windows palette:

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
SIZES = (16, 32)

# Output file -> the pictures it holds, largest first.
ICONS = {
    "morvane.ico": ("tv32.txt", "tv16.txt"),
    "small.ico": ("tv16.txt",),
}


class ArtError(Exception):
    pass


def parse_art(text, name):
    """Text pixel art to a list of rows of palette indices (None = transparent)."""
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
    if len(rows[0]) not in SIZES or len(rows) != len(rows[0]):
        raise ArtError("%s: picture is %dx%d; it must be 16x16 or 32x32"
                       % (name, len(rows[0]), len(rows)))
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
        bits = bytearray(size // 8)
        for x, p in enumerate(row):
            if p is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += _padded(bytes(bits))
    # The height counts the XOR bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    return header + palette + xor + mask


def build_ico(pictures):
    images = [icon_image(rows) for rows in pictures]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for rows, image in zip(pictures, images):
        size = len(rows)
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4,
                            len(image), offset)
        offset += len(image)
    return data + b"".join(images)


def png(rows, scale):
    """An enlarged preview; transparent pixels show as a grey checkerboard."""
    size = len(rows) * scale
    raw = b""
    for y in range(size):
        line = bytearray(b"\0")
        for x in range(size):
            p = rows[y // scale][x // scale]
            if p is TRANSPARENT:
                shade = 0xDD if ((x // 4) + (y // 4)) % 2 else 0xF4
                line += bytes((shade, shade, shade))
            else:
                line += bytes(PALETTE[p])
        raw += bytes(line)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


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
        for name in sorted({n for names in ICONS.values() for n in names}):
            path = os.path.join(source, name)
            try:
                with open(path, encoding="ascii") as f:
                    text = f.read()
            except (OSError, UnicodeDecodeError) as e:
                raise ArtError("cannot read %s: %s" % (path, e))
            pictures[name] = parse_art(text, name)
        for ico, names in ICONS.items():
            sizes = [len(pictures[n]) for n in names]
            if len(set(sizes)) != len(sizes):
                raise ArtError("%s would hold two %dx%d pictures" % (ico, sizes[0], sizes[0]))
    except ArtError as e:
        sys.stderr.write("make_icons: %s\n" % e)
        return 1

    try:
        os.makedirs(outdir, exist_ok=True)
        for ico, names in ICONS.items():
            write_atomically(os.path.join(outdir, ico), build_ico([pictures[n] for n in names]))
        if want_png:
            for name, rows in pictures.items():
                write_atomically(os.path.join(outdir, "preview-%d.png" % len(rows)),
                                 png(rows, 256 // len(rows)))
    except OSError as e:
        sys.stderr.write("make_icons: cannot write to %s: %s\n" % (outdir, e.strerror))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
