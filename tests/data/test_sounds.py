"""Tests of the alert sounds (tools/make_sounds.py).

Usage: test_sounds.py [--data-dir DIR] [unittest options]
With --data-dir the WAV files built into DIR are checked; otherwise they are
generated afresh into a temporary folder.
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_SOUNDS = os.path.normpath(os.path.join(HERE, "..", "..", "tools", "make_sounds.py"))
NAMES = ("warning.wav", "drums.wav")
FULL_SCALE = 32768


def option(name):
    """Take '--name VALUE' off the command line (unittest parses the rest)."""
    if name in sys.argv[1:-1]:
        i = sys.argv.index(name)
        value = sys.argv[i + 1]
        del sys.argv[i:i + 2]
        return value
    return None


def generate(outdir):
    return subprocess.run([sys.executable, MAKE_SOUNDS, outdir], capture_output=True, text=True)


def read_wav(data):
    """The format fields and samples of a canonical PCM WAV, checking that its
    chunk sizes add up."""
    if data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise AssertionError("not a RIFF WAVE file")
    if struct.unpack_from("<I", data, 4)[0] != len(data) - 8:
        raise AssertionError("RIFF size does not match the file size")
    chunks = {}
    pos = 12
    while pos + 8 <= len(data):
        kind, size = struct.unpack_from("<4sI", data, pos)
        chunks[kind] = data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    if pos != len(data):
        raise AssertionError("chunks do not end at the end of the file")
    fmt = struct.unpack("<HHIIHH", chunks[b"fmt "][:16])
    samples = struct.unpack("<%dh" % (len(chunks[b"data"]) // 2), chunks[b"data"])
    return fmt, samples


class SoundFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = None
        folder = DATA_DIR
        if not folder:
            cls.tmp = tempfile.TemporaryDirectory()
            folder = cls.tmp.name
            result = generate(folder)
            if result.returncode != 0:
                raise AssertionError("make_sounds failed: " + result.stderr)
        cls.files = {}
        for name in NAMES:
            with open(os.path.join(folder, name), "rb") as f:
                cls.files[name] = f.read()

    @classmethod
    def tearDownClass(cls):
        if cls.tmp:
            cls.tmp.cleanup()

    def test_format_is_16_bit_mono_pcm_at_22050(self):
        for name in NAMES:
            with self.subTest(sound=name):
                fmt, _ = read_wav(self.files[name])
                # PCM, mono, rate, byte rate, block align, bits
                self.assertEqual((1, 1, 22050, 44100, 2, 16), fmt)

    def test_short_and_small(self):
        for name in NAMES:
            with self.subTest(sound=name):
                _, samples = read_wav(self.files[name])
                self.assertLess(len(samples), 2 * 22050)
                self.assertGreater(len(samples), 22050 // 2)
                self.assertLess(len(self.files[name]), 100 * 1024)

    def test_loop_seam_is_silent(self):
        # The alert loops the file: both ends must sit at zero, or every
        # repeat clicks.
        for name in NAMES:
            with self.subTest(sound=name):
                _, samples = read_wav(self.files[name])
                self.assertEqual(0, samples[0])
                self.assertEqual(0, samples[-1])
                # The sound has died away before the end rather than being cut off...
                tail = samples[-110:]          # five milliseconds
                self.assertLess(max(abs(s) for s in tail), FULL_SCALE // 100)
                # ...and rises from silence rather than jumping.
                steps = [abs(b - a) for a, b in zip(samples[:22], samples[1:23])]
                self.assertLess(max(steps), FULL_SCALE // 100)

    def test_loud_but_not_clipped(self):
        for name in NAMES:
            with self.subTest(sound=name):
                _, samples = read_wav(self.files[name])
                peak = max(abs(s) for s in samples)
                self.assertGreater(peak, FULL_SCALE // 2)
                self.assertLess(peak, FULL_SCALE - 1)

    def test_generation_is_repeatable(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            self.assertEqual(0, generate(a).returncode)
            self.assertEqual(0, generate(b).returncode)
            for name in NAMES:
                with self.subTest(sound=name):
                    with open(os.path.join(a, name), "rb") as fa, \
                            open(os.path.join(b, name), "rb") as fb:
                        self.assertEqual(fa.read(), fb.read())

    def test_unwritable_folder_is_reported(self):
        with tempfile.NamedTemporaryFile() as blocker:
            result = generate(os.path.join(blocker.name, "sub"))
            self.assertEqual(1, result.returncode)
            self.assertIn("cannot write", result.stderr)


DATA_DIR = option("--data-dir")

if __name__ == "__main__":
    unittest.main()
