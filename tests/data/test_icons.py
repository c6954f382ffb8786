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

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
MAKE_ICONS = os.path.join(ROOT, "tools", "make_icons.py")
ART = os.path.join(ROOT, "res", "icons")


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


def read_ico(data):
    """Each image of an icon file as (size, pixels) where pixels[y][x] is a
    palette index or None for transparent."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind) != (0, 1):
        raise AssertionError("not an icon file")
    images = []
    for i in range(count):
        width, height, colours, _, planes, bits, length, offset = \
            struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        if (width, colours, planes, bits) != (height, 16, 1, 4):
            raise AssertionError("entry %d is not a square 16-colour image" % i)
        if offset + length > len(data):
            raise AssertionError("entry %d runs past the end of the file" % i)
        image = data[offset:offset + length]
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
        images.append((width, pixels))
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
        cls.icons = {}
        for name in ("morvane.ico", "small.ico"):
            with open(os.path.join(folder, name), "rb") as f:
                cls.icons[name] = read_ico(f.read())

    @classmethod
    def tearDownClass(cls):
        if cls.tmp:
            cls.tmp.cleanup()

    def test_icons_hold_the_right_sizes(self):
        self.assertEqual([32, 16], [size for size, _ in self.icons["morvane.ico"]])
        self.assertEqual([16], [size for size, _ in self.icons["small.ico"]])

    def test_pixels_and_transparency_follow_the_art(self):
        cases = [("morvane.ico", 0, "tv32.txt"), ("morvane.ico", 1, "tv16.txt"),
                 ("small.ico", 0, "tv16.txt")]
        for icon, index, art in cases:
            with self.subTest(icon=icon, image=index):
                expected = [[None if ch == "." else int(ch, 16) for ch in line]
                            for line in read_art(art)]
                self.assertEqual(expected, self.icons[icon][index][1])

    def test_faulty_art_is_refused_by_line(self):
        cases = [
            ("ragged row", "tv16.txt", lambda rows: rows.__setitem__(3, rows[3] + "0"),
             "tv16.txt:6: row has 17 pixels"),
            ("unknown colour", "tv32.txt", lambda rows: rows.__setitem__(9, "G" + rows[9][1:]),
             "tv32.txt:12: character 'G' in column 1 is not a colour"),
            ("wrong size", "tv16.txt", lambda rows: rows.pop(),
             "tv16.txt: picture is 16x15"),
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
