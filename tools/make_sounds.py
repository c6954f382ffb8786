#!/usr/bin/env python3
"""make_sounds: synthesise Morvane's two alert sounds.

Usage: make_sounds.py OUTDIR

Writes OUTDIR/warning.wav (a two-tone chime) and OUTDIR/drums.wav (one bar of
a drum beat), 16-bit mono PCM at 22050 Hz.  The alert plays them in a loop,
so each starts and ends in silence: no click at the seam.  The output is the
same on every run (the noise comes from a fixed seed).
"""

import math
import os
import struct
import sys
import tempfile

RATE = 22050
PEAK = 0.70           # of full scale, leaving headroom
ATTACK = 0.004        # seconds; a hit that starts at full level clicks
SEAM_FADE = 0.010     # seconds of fade at each end of the loop


def silence(seconds):
    return [0.0] * int(round(seconds * RATE))


def mix(buffer, sound, at):
    """Add sound into buffer starting at sample index at (cut at the end)."""
    for i, v in enumerate(sound[:len(buffer) - at]):
        buffer[at + i] += v


def fade_tail(sound, seconds=0.04):
    """Bring the end of a sound smoothly to zero: cutting a decaying tone
    short clicks."""
    n = int(seconds * RATE)
    for k in range(min(n, len(sound))):
        sound[len(sound) - 1 - k] *= 0.5 - 0.5 * math.cos(math.pi * k / n)
    return sound


def envelope(i, decay):
    t = i / RATE
    attack = min(1.0, t / ATTACK)
    return attack * math.exp(-t / decay)


def bell(freq, seconds, decay):
    """A struck-bell tone: a few inharmonic partials, each fading faster than
    the one below."""
    partials = [(1.0, 1.0, 1.0), (2.0, 0.45, 0.6), (3.01, 0.20, 0.4), (4.2, 0.08, 0.3)]
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        v = 0.0
        for ratio, level, speed in partials:
            v += level * math.sin(2 * math.pi * freq * ratio * t) * math.exp(-t / (decay * speed))
        out.append(v * min(1.0, t / ATTACK))
    return fade_tail(out)


class Noise:
    """xorshift32: the same white noise on every machine and Python version."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x / 0x80000000 - 1.0


def kick(seconds=0.30):
    out = []
    phase = 0.0
    for i in range(int(seconds * RATE)):
        t = i / RATE
        freq = 45 + 95 * math.exp(-t / 0.035)   # the pitch falls as the skin settles
        phase += 2 * math.pi * freq / RATE
        beater = 0.35 * math.sin(3 * phase) * envelope(i, 0.012)   # the click that carries
        out.append(math.sin(phase) * envelope(i, 0.11) + beater)
    return fade_tail(out)


def snare(noise, seconds=0.22):
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        body = math.sin(2 * math.pi * 185 * t) * envelope(i, 0.045)
        rattle = noise.next() * envelope(i, 0.065)
        out.append(0.55 * body + 0.6 * rattle)
    return fade_tail(out)


def hihat(noise, seconds=0.06, level=0.35):
    out = []
    last = 0.0
    for i in range(int(seconds * RATE)):
        n = noise.next()
        out.append(level * (n - last) * 0.5 * envelope(i, 0.014))   # first difference: a high-pass
        last = n
    return fade_tail(out, 0.02)


def warning():
    """Ding-dong: a high then a lower bell, then room for the tail to fade
    before the loop starts again.  1.5 seconds."""
    out = silence(1.5)
    mix(out, bell(988.0, 1.0, 0.22), 0)            # B5
    mix(out, bell(784.0, 1.0, 0.26), int(0.42 * RATE))   # G5
    return out


def drums():
    """One bar of 4/4 at 130 beats a minute, sixteen steps of 2544 samples,
    so the loop keeps time exactly.  Kick on 1, 3 and the 'and' of 3, snare on
    2 and 4, closed hi-hat on every eighth.  Every hit dies away before the
    bar ends."""
    step = 2544
    out = [0.0] * (16 * step)
    noise = Noise(0x4D6F7276)
    for s in (0, 8, 10):
        mix(out, kick(), s * step)
    for s in (4, 12):
        mix(out, snare(noise), s * step)
    for s in range(0, 16, 2):
        mix(out, hihat(noise, level=0.45 if s % 4 == 2 else 0.30), s * step)
    return out


def finish(samples):
    """Normalise, fade both ends of the loop to exact zero, and quantise."""
    top = max(abs(v) for v in samples) or 1.0
    n = len(samples)
    fade = int(SEAM_FADE * RATE)
    out = []
    for i, v in enumerate(samples):
        gain = min(1.0, i / fade, (n - 1 - i) / fade)
        out.append(int(round(v / top * PEAK * gain * 32767)))
    return out


def wav_bytes(samples):
    data = struct.pack("<%dh" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    return (b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE"
            + b"fmt " + struct.pack("<I", len(fmt)) + fmt
            + b"data" + struct.pack("<I", len(data)) + data)


def write_atomically(path, data):
    fd, tmp = tempfile.mkstemp(prefix=".sounds-", dir=os.path.dirname(os.path.abspath(path)))
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
    if len(argv) != 2 or argv[1].startswith("-"):
        sys.stderr.write("usage: make_sounds.py OUTDIR\n")
        return 2
    outdir = argv[1]
    try:
        os.makedirs(outdir, exist_ok=True)
        for name, make in (("warning.wav", warning), ("drums.wav", drums)):
            write_atomically(os.path.join(outdir, name), wav_bytes(finish(make())))
    except OSError as e:
        sys.stderr.write("make_sounds: cannot write to %s: %s\n" % (outdir, e.strerror))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
