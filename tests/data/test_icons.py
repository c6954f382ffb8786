"""Tests of the icons (tools/make_icons.py against res/icons/*.txt).

Usage: test_icons.py [--icon-dir DIR] [unittest options]
With --icon-dir the icons built into DIR are checked; otherwise they are
generated afresh into a temporary folder.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
MAKE_ICONS = os.path.join(ROOT, "tools", "make_icons.py")
ART = os.path.join(ROOT, "res", "icons")
SIZES = (16, 20, 24, 32, 40, 48, 256)
PNG_SIZES = (20, 24, 40, 256)
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def option(name):
    """Take '--name VALUE' off the command line (unittest parses the rest)."""
    if name in sys.argv[1:-1]:
        i = sys.argv.index(name)
        value = sys.argv[i + 1]
        del sys.argv[i:i + 2]
        return value
    return None


def generate(outdir, source=None):
    args = [sys.executable, MAKE_ICONS, outdir] + (["--source", source] if source else [])
    return subprocess.run(args, capture_output=True, text=True)


def read_art(name):
    with open(os.path.join(ART, name)) as f:
        return [line.rstrip() for line in f if line.strip() and not line.startswith("#")]


def read_png(image, size):
    """An RGBA PNG's pixels as palette indices, None where transparent."""
    chunks, at = {}, 8
    while at < len(image):
        length, kind = struct.unpack_from(">I4s", image, at)
        chunks[kind] = chunks.get(kind, b"") + image[at + 8:at + 8 + length]
        at += 12 + length
    if struct.unpack(">IIBBBBB", chunks[b"IHDR"]) != (size, size, 8, 6, 0, 0, 0):
        raise AssertionError("the %d-pixel image is no RGBA PNG of its size" % size)
    raw = zlib.decompress(chunks[b"IDAT"])
    rows = [raw[y * (1 + 4 * size):(y + 1) * (1 + 4 * size)] for y in range(size)]
    if any(row[0] for row in rows):
        raise AssertionError("the %d-pixel PNG's rows are filtered" % size)
    return [[None if q[3] == 0 else PALETTE.index(q[:3]) if q[3] == 255 else q
             for q in zip(*[iter(row[1:])] * 4)] for row in rows]


def read_ico(data):
    """Each image of an icon file as (size, bytes, pixels) where pixels[y][x]
    is a palette index or None for transparent."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind) != (0, 1):
        raise AssertionError("not an icon file")
    images = []
    for i in range(count):
        width, height, colours, _, planes, bits, length, offset = \
            struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        png = (width or 256) in PNG_SIZES
        if (width, planes, colours, bits) != (height, 1) + ((0, 32) if png else (16, 4)):
            raise AssertionError("entry %d is no square %s" % (i, "PNG" if png else "bitmap"))
        if offset + length > len(data):
            raise AssertionError("entry %d runs past the end of the file" % i)
        image = data[offset:offset + length]
        if png:
            images.append((width or 256, image, read_png(image, width or 256)))
            continue
        header = struct.unpack_from("<IiiHHI", image, 0)
        if header != (40, width, 2 * height, 1, 4, 0):
            raise AssertionError("entry %d has the bitmap header %r" % (i, header))
        xor_row = (width * 4 + 31) // 32 * 4
        and_row = (width + 31) // 32 * 4
        if length != 40 + 64 + height * (xor_row + and_row):
            raise AssertionError("entry %d is %d bytes long" % (i, length))
        xor = image[104:104 + height * xor_row]
        mask = image[104 + height * xor_row:]
        pixels = []
        for y in range(height):
            row = height - 1 - y          # bitmaps are stored bottom row first
            line = []
            for x in range(width):
                colour = xor[row * xor_row + x // 2] >> (4 if x % 2 == 0 else 0) & 0xF
                clear = mask[row * and_row + x // 8] >> (7 - x % 8) & 1
                if clear and colour:
                    raise AssertionError("transparent pixel (%d,%d) has colour %d" % (x, y, colour))
                line.append(None if clear else colour)
            pixels.append(line)
        images.append((width, image, pixels))
    return images


class IconTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = None
        folder = ICON_DIR
        if not folder:
            cls.tmp = tempfile.TemporaryDirectory()
            folder = cls.tmp.name
            result = generate(folder)
            if result.returncode != 0:
                raise AssertionError("make_icons failed: " + result.stderr)
        cls.files = {}
        for name in ["morvane.ico", "morvane.grp", "small.grp"] + ["tv%d.img" % n for n in SIZES]:
            with open(os.path.join(folder, name), "rb") as f:
                cls.files[name] = f.read()
        cls.icon = read_ico(cls.files["morvane.ico"])

    @classmethod
    def tearDownClass(cls):
        if cls.tmp:
            cls.tmp.cleanup()

    def test_icons_hold_the_right_sizes(self):
        self.assertEqual(list(SIZES), [size for size, _, _ in self.icon])
        # The program's groups: the icon file's directory, up to 48 for the small icon, with the
        # pictures' numbers in place of their offsets; the pictures, the icon file's.
        ico = self.files["morvane.ico"]
        for group, count in (("morvane.grp", 7), ("small.grp", 6)):
            entries = [ico[6 + 16 * i:18 + 16 * i] + struct.pack("<H", i + 1) for i in range(count)]
            self.assertEqual(struct.pack("<HHH", 0, 1, count) + b"".join(entries),
                             self.files[group], group)
        for size, image, _ in self.icon:
            self.assertEqual(image, self.files["tv%d.img" % size], size)

    def test_pixels_and_transparency_follow_the_art(self):
        for size, _, pixels in self.icon:
            with self.subTest(size=size):
                expected = [[None if ch == "." else int(ch, 16) for ch in line]
                            for line in read_art("tv%d.txt" % size)]
                self.assertEqual(expected, pixels)

    def test_faulty_art_is_refused_by_line(self):
        cases = [
            ("ragged row", "tv16.txt", lambda rows: rows.__setitem__(3, rows[3] + "0"),
             "tv16.txt:6: row has 17 pixels"),
            ("unknown colour", "tv32.txt", lambda rows: rows.__setitem__(9, "G" + rows[9][1:]),
             "tv32.txt:12: character 'G' in column 1 is not a colour"),
            ("wrong size", "tv24.txt", lambda rows: rows.pop(),
             "tv24.txt: picture is 24x23; it must be 24x24"),
        ]
        for what, name, change, message in cases:
            with self.subTest(fault=what), tempfile.TemporaryDirectory() as tmp:
                src = os.path.join(tmp, "art")
                out = os.path.join(tmp, "out")
                shutil.copytree(ART, src)
                with open(os.path.join(src, name)) as f:
                    lines = f.read().splitlines()
                comments = [l for l in lines if l.startswith("#")]
                rows = [l for l in lines if l and not l.startswith("#")]
                change(rows)
                with open(os.path.join(src, name), "w") as f:
                    f.write("\n".join(comments + rows) + "\n")
                result = generate(out, src)
                self.assertEqual(1, result.returncode)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(out) and os.listdir(out))


ICON_DIR = option("--icon-dir")

if __name__ == "__main__":
    unittest.main()
