"""Tests of the help compiler (tools/hlpc.py) and of the help file it builds.

Usage: test_hlpc.py [--data-dir DIR] [unittest options]
With --data-dir the help.hlp and help.html built into DIR are checked;
otherwise data/help.txt is compiled afresh.
"""

import html.parser
import os
import re
import random
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
HLPC = os.path.join(ROOT, "tools", "hlpc.py")
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, HERE)

import hlpc  # noqa: E402
import hlpreader  # noqa: E402


def option(name):
    """Take '--name VALUE' off the command line (unittest parses the rest)."""
    if name in sys.argv[1:-1]:
        i = sys.argv.index(name)
        value = sys.argv[i + 1]
        del sys.argv[i:i + 2]
        return value
    return None


def run_hlpc(source, output):
    return subprocess.run([sys.executable, HLPC, source, output],
                          capture_output=True, text=True)


def compile_text(text, page=False):
    """The .hlp bytes of a source; with page, the HTML page's bytes instead."""
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "src.txt")
        out = os.path.join(tmp, "out.hlp")
        out_html = os.path.join(tmp, "out.html")
        with open(src, "w", encoding="utf-8") as f:
            f.write(text)
        result = subprocess.run([sys.executable, HLPC, src, out, out_html],
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise AssertionError("hlpc failed: " + result.stderr)
        with open(out_html if page else out, "rb") as f:
            return f.read()


class EncoderTest(unittest.TestCase):
    def test_compressed_integers_at_form_boundaries(self):
        cases = [
            (hlpc.cushort, 71, "8E"), (hlpc.cushort, 127, "FE"),
            (hlpc.cushort, 128, "01 01"), (hlpc.cushort, 200, "91 01"),
            (hlpc.csshort, 6, "8C"), (hlpc.csshort, -12, "68"),
            (hlpc.csshort, 63, "FE"), (hlpc.csshort, 64, "81 80"),
            (hlpc.csshort, -64, "00"), (hlpc.csshort, -65, "7F 7F"),
            (hlpc.cslong, 24, "30 80"), (hlpc.cslong, -1, "FE 7F"),
            (hlpc.cslong, 16383, "FE FF"), (hlpc.cslong, 16384, "01 80 00 80"),
        ]
        for encode, value, expected in cases:
            with self.subTest(encoder=encode.__name__, value=value):
                self.assertEqual(bytes.fromhex(expected), encode(value))

    def test_context_hash_matches_the_viewer(self):
        cases = [("using", 0x07B55B60), ("options", 0xC01D666A - 2**32),
                 ("contents", 0x25F4558A), ("last", 0x002278E2),
                 ("long_topic", 0x61941112), ("a", 0x11), ("a1", 0x2DC),
                 ("USING", 0x07B55B60)]
        for name, expected in cases:
            with self.subTest(name=name):
                self.assertEqual(expected, hlpc.context_hash(name))


class MalformedSourceTest(unittest.TestCase):
    """Every faulty source is refused with its line named, and nothing is
    left in the output folder."""

    def assert_refused(self, source, line, fragment):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "help.hlp")
            result = run_hlpc(source, out)
            name = os.path.basename(source)
            where = name if line == "-" else "%s:%s" % (name, line)
            self.assertEqual(1, result.returncode, result.stderr)
            self.assertIn("%s: error: %s" % (where, fragment), result.stderr)
            self.assertEqual([], os.listdir(tmp))

    def test_bad_sources(self):
        folder = os.path.join(HERE, "bad_help")
        names = sorted(os.listdir(folder))
        self.assertGreater(len(names), 10)
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                header = f.readline().decode("ascii")
            self.assertTrue(header.startswith("# expect: "), name)
            line, fragment = header[len("# expect: "):].rstrip("\n").split(": ", 1)
            with self.subTest(source=name):
                self.assert_refused(path, line, fragment)

    def generated(self, body):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        path = os.path.join(tmp.name, "gen.txt")
        with open(path, "w", encoding="utf-8") as f:
            f.write("@title T\n\n= contents: C\n" + body)
        return path

    def test_paragraph_longer_than_a_record_allows(self):
        path = self.generated("short\n\n" + "word " * 7000 + "\n")
        self.assert_refused(path, 6, "paragraph is too long")

    def test_paragraph_with_too_many_links(self):
        path = self.generated("[[contents|x]] " * 700 + "\n")
        self.assert_refused(path, 4, "paragraph has too many links")

    def test_existing_output_survives_a_failed_compile(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "help.hlp")
            with open(out, "wb") as f:
                f.write(b"previous")
            result = run_hlpc(os.path.join(HERE, "bad_help", "unknown_target.txt"), out)
            self.assertEqual(1, result.returncode)
            with open(out, "rb") as f:
                self.assertEqual(b"previous", f.read())
            self.assertEqual(["help.hlp"], os.listdir(tmp))

    def test_output_folder_missing(self):
        with tempfile.TemporaryDirectory() as tmp:
            result = run_hlpc(os.path.join(ROOT, "data", "help.txt"),
                              os.path.join(tmp, "absent", "help.hlp"))
            self.assertEqual(1, result.returncode)
            self.assertIn("cannot write", result.stderr)

    def test_output_may_not_replace_the_source(self):
        with tempfile.TemporaryDirectory() as tmp:
            src = os.path.join(tmp, "help.txt")
            with open(src, "w") as f:
                f.write("@title T\n= contents: C\n")
            result = run_hlpc(src, src)
            self.assertNotEqual(0, result.returncode)
            with open(src) as f:
                self.assertEqual("@title T\n= contents: C\n", f.read())


def synthetic_source(topics, paragraphs_in_first, seed):
    """A source with many topics and, in the first, paragraphs of random
    lengths, so that records fall on every kind of block boundary."""
    rnd = random.Random(seed)
    lines = ["@title Layout", ""]
    expected = {}
    for t in range(topics):
        lines.append("= t%d: Topic number %d" % (t, t))
        texts = []
        count = paragraphs_in_first if t == 0 else 1
        for p in range(count):
            n = rnd.choice([1, 5, 40, 200, 900, 3000]) + rnd.randrange(60)
            words = ("p%d-" % p) + "x" * n
            link = (t + p + 1) % topics
            lines.append("%s **bold** [[t%d|to %d]] end" % (words, link, link))
            lines.append("")
            texts.append("%s bold to %d end" % (words, link))
        if t == 0:
            lines.append("* " + "y" * 9000)
            lines.append("")
            texts.append(hlpc.BULLET + "  " + "y" * 9000)
        expected["t%d" % t] = ("Topic number %d" % t, texts)
    return "\n".join(lines) + "\n", expected


class LayoutTest(unittest.TestCase):
    """Large files read back with an independent reader: block rules,
    TOPICOFFSETs and B-tree lookups at page edges."""

    def check_file(self, data, expected):
        f = hlpreader.HelpFile(data)
        topics = f.topics()
        self.assertEqual(len(expected) + 1, len(topics))   # plus the empty trailing header
        self.assertEqual("", topics[-1].title)
        by_offset = {t.offset: t for t in topics}
        context = f.context()
        titles = f.titles()
        entries = [h for h, _ in context.items()]
        self.assertEqual(sorted(entries), entries, "|CONTEXT not in signed hash order")
        for topic_id, (title, texts) in expected.items():
            with self.subTest(topic=topic_id):
                offset = context.lookup(hlpc.context_hash(topic_id))
                self.assertIsNotNone(offset, "%s not found by descent" % topic_id)
                topic = by_offset[offset]
                self.assertEqual(title, topic.title)
                self.assertEqual(title.encode("cp1252"), titles.lookup(offset))
                self.assertEqual([title] + texts, [p.text for p in topic.paragraphs])
                for p in topic.paragraphs:
                    for h in p.jumps:
                        self.assertIn(context.lookup(h), by_offset)
        _, records = f.system()
        self.assertEqual([topics[0].offset.to_bytes(4, "little")], records[3])
        return f, topics, context

    def test_long_topic_crosses_blocks_correctly(self):
        source, expected = synthetic_source(5, 60, seed=7)
        f, topics, _ = self.check_file(compile_text(source), expected)
        self.assertGreater(len(f.file("|TOPIC")) // 4096, 8)
        blocks = {t.offset >> 15 for t in topics}
        self.assertGreater(len(blocks), 1, "topics should start in several blocks")

    def test_context_tree_at_page_edges(self):
        # 255 eight-byte entries fill one 2048-byte leaf; 256 need two leaves
        # and an index page; 600 need three leaves.
        for count, levels in ((255, 1), (256, 2), (600, 2)):
            with self.subTest(topics=count):
                source, expected = synthetic_source(count, 1, seed=count)
                _, _, context = self.check_file(compile_text(source), expected)
                self.assertEqual(levels, context.levels)
                self.assertEqual(count, context.entries)


class ShippedHelpTest(unittest.TestCase):
    """The help file that ships beside morvane.exe."""

    TOPICS = ["What Morvane does", "The weekly overview", "Adding an entry",
              "Removing an entry", "Choosing the alert sound", "When a programme is due",
              "Uninstalling Morvane"]

    @classmethod
    def setUpClass(cls):
        built = DATA_DIR
        if built:
            with open(os.path.join(built, "help.hlp"), "rb") as f:
                cls.data = f.read()
        else:
            with open(os.path.join(ROOT, "data", "help.txt"), encoding="utf-8") as f:
                cls.data = compile_text(f.read())
        cls.file = hlpreader.HelpFile(cls.data)
        cls.topics = cls.file.topics()[:-1]

    def test_directory_lists_the_internal_files(self):
        self.assertEqual(["|CONTEXT", "|CTXOMAP", "|FONT", "|SYSTEM", "|TOPIC", "|TTLBTREE"],
                         list(self.file.files))

    def test_system_gives_title_contents_and_main_window(self):
        minor, records = self.file.system()
        self.assertEqual(21, minor)
        self.assertEqual([b"Morvane Help\0"], records[1])
        self.assertEqual([b"\0\0\0\0"], records[3])
        self.assertEqual(0, self.topics[0].offset)
        window, = records[6]
        self.assertEqual(90, len(window))
        self.assertEqual(b"\x06\x00", window[0:2])
        self.assertEqual(b"main", window[12:21].rstrip(b"\0"))
        self.assertEqual(b"Morvane Help", window[21:72].rstrip(b"\0"))

    def test_topics_in_order_each_with_its_heading(self):
        self.assertEqual(self.TOPICS, [t.title for t in self.topics])
        for t in self.topics:
            with self.subTest(topic=t.title):
                heading = t.paragraphs[0]
                self.assertEqual(t.title, heading.text)
                self.assertEqual([hlpc.FONT_HEADING], heading.fonts)
                self.assertGreater(len(t.paragraphs), 2)

    def test_every_jump_lands_on_a_topic_and_contents_reaches_all(self):
        context = self.file.context()
        starts = {t.offset: t.title for t in self.topics}
        for t in self.topics:
            for p in t.paragraphs:
                for h in p.jumps:
                    with self.subTest(topic=t.title, hash=h):
                        self.assertIn(context.lookup(h), starts)
        from_contents = {starts[context.lookup(h)]
                         for p in self.topics[0].paragraphs for h in p.jumps}
        self.assertEqual(set(self.TOPICS[1:]), from_contents)

    def test_fonts_are_ones_the_viewer_accepts(self):
        fonts = self.file.fonts()
        self.assertEqual(3, len(fonts))
        for attributes, half_points, family, face, *_ in fonts:
            self.assertIn(family, range(1, 6))
            self.assertEqual(0, face)
        self.assertEqual([0, 1, 1], [f[0] & 1 for f in fonts])   # body plain, others bold


class PageReader(html.parser.HTMLParser):
    """Collects what the help page holds, and the faults a browser would
    forgive silently: tags closed out of order or never, scripts, and
    anything that refers outside the page."""

    VOID = {"meta", "br", "hr", "img", "link", "input", "wbr"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.faults = [], []
        self.sections = {}          # id -> heading text
        self.links = []             # (href, text)
        self.section_text = {}      # id -> all text of the section
        self.section = None
        self.capture = None         # "h2" or "a" while inside one
        self.captured = ""
        self.href = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag not in self.VOID:
            self.stack.append(tag)
        if tag in ("script", "iframe", "object", "embed", "link", "img"):
            self.faults.append("<%s>" % tag)
        for name, value in attrs.items():
            if name.startswith("on") or name in ("src", "srcset", "action"):
                self.faults.append("%s=%r on <%s>" % (name, value, tag))
        if tag == "section":
            self.section = attrs.get("id")
            self.section_text[self.section] = ""
        elif tag in ("h2", "a"):
            self.capture, self.captured = tag, ""
            self.href = attrs.get("href")

    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1] != tag:
            self.faults.append("</%s> closes %s" % (tag, self.stack[-1:] or "nothing"))
            return
        self.stack.pop()
        if tag == "h2" and self.section is not None:
            self.sections[self.section] = self.captured
        elif tag == "a":
            self.links.append((self.href, self.captured))
        if tag == self.capture:
            self.capture = None
        if tag == "section":
            self.section = None

    def handle_data(self, data):
        if self.capture:
            self.captured += data
        if self.section is not None:
            self.section_text[self.section] += data


class HtmlHelpTest(unittest.TestCase):
    """The help as a web page, for Windows without a help viewer."""

    def test_page_holds_every_topic_and_its_links_land_on_topics(self):
        with open(os.path.join(ROOT, "data", "help.txt"), encoding="utf-8") as f:
            source = f.read()
        if DATA_DIR:
            with open(os.path.join(DATA_DIR, "help.html"), "rb") as f:
                page = f.read().decode("utf-8")
        else:
            page = compile_text(source, page=True).decode("utf-8")
        # Topics straight from the source's "= id: Title" lines.
        topics = dict(re.findall(r"(?m)^=\s*([^:\s]+)\s*:\s*(.*?)\s*$", source))
        self.assertGreater(len(topics), 1)
        self.assertTrue(page.startswith("<!DOCTYPE html>\n"))

        reader = PageReader()
        reader.feed(page)
        reader.close()
        self.assertEqual([], reader.faults)
        self.assertEqual([], reader.stack, "elements left open")
        self.assertEqual(topics, reader.sections)
        self.assertGreater(len(reader.links), len(topics))
        for href, text in reader.links:
            with self.subTest(link=href, text=text):
                self.assertRegex(href, r"^#")
                self.assertIn(href[1:], topics)
        # Text that looks like markup is shown as it is written.
        self.assertIn("<Select entry to remove>", reader.section_text["removing"])


DATA_DIR = option("--data-dir")

if __name__ == "__main__":
    unittest.main()
