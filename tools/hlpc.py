#!/usr/bin/env python3
"""hlpc: compile a plain-text help source into a Windows Help 3.1 (.hlp) file,
and optionally into the same help as one plain HTML page.

Usage: hlpc.py SOURCE OUTPUT.hlp [OUTPUT.html]

The output is the plain, uncompressed WinHelp 3.1 layout that the Windows help
viewer (and Wine's winhlp32) reads: a directory of internal files |CONTEXT,
|CTXOMAP, |FONT, |SYSTEM, |TOPIC and |TTLBTREE.  On any error in the source the
compiler names the file and line on stderr, exits with status 1 (2 for a
wrong command line) and writes nothing: each output is written to a temporary
file beside it and renamed into place only once it is complete.

The HTML page is for Windows Vista and later, which have no viewer for .hlp
files: a single self-contained HTML5 file (UTF-8, a little inline CSS, no
scripts, no other files) with the help title as its heading, each topic as a
<section id="ID"> headed by its title, bullets as lists, bold as <strong> and
jumps as links to "#ID".

Source syntax (UTF-8; every character must exist in Windows-1252)
-----------------------------------------------------------------
    # A line starting with '#' is a comment.
    @title Morvane Help           The help title (required, before the first
                                  topic, at most 50 characters).  It is the
                                  viewer's window caption.
    = contents: What it does      Starts a topic: an id, a colon, a title.
                                  The first topic is the contents page.  Ids
                                  use only A-Z a-z 0-9 . _ and are compared
                                  without regard to case.  The title is plain
                                  text (at most 128 characters) and is shown
                                  as the topic's heading.
    Lines of text.                Consecutive lines form one paragraph; a
    More of the same paragraph.   blank line ends it.
    * A bullet item               A bullet item; it runs until a blank line or
      continued here.             the next bullet, topic or directive.

Inside paragraphs and bullet items:
    **bold text**                 bold; must be closed in the same paragraph
    [[adding|how to add]]         a jump to the topic with id 'adding'
    [[adding]]                    the same, showing the topic's title
    \\*  \\[  \\=  ...              a backslash before a punctuation character
                                  makes it literal (also at the start of a
                                  line: '\\= x' is a paragraph, not a topic)
Tabs count as single spaces.  Other control characters are errors.
"""

import html
import os
import re
import string
import struct
import sys
import tempfile

# ---------------------------------------------------------------------------
# Limits.  The title goes into the 51-byte caption field of the window record;
# topic titles are kept short enough for the viewer's history list.
TITLE_MAX = 50
TOPIC_TITLE_MAX = 128

BLOCK_SIZE = 4096          # |TOPIC block, header included
BLOCK_HEADER = 12
TOPICLINK_SIZE = 21
TOPICPOS_BLOCK = 0x4000    # multiplier of a block number in a TOPICPOS
TOPICOFFSET_BLOCK = 0x8000  # ... and in a TOPICOFFSET
NONE32 = 0xFFFFFFFF

# Fonts, by descriptor number (see build_font).
FONT_BODY, FONT_HEADING, FONT_BOLD = 0, 1, 2

# Formatting commands inside a text record.
CMD_FONT = 0x80
CMD_END_PARAGRAPH = 0x82
CMD_JUMP = 0xE3
CMD_END_HOTSPOT = 0x89
CMD_END = 0xFF

# Paragraph info bits.
PARA_SPACE_ABOVE = 0x0002
PARA_LEFT_INDENT = 0x0010
PARA_FIRST_INDENT = 0x0040

BULLET = "\u2022"          # Windows-1252 0x95

ID_CHARS = frozenset(string.ascii_letters + string.digits + "._")


class SourceError(Exception):
    """A fault in the help source, tied to a line (0 when it has none)."""

    def __init__(self, line, message):
        super().__init__(message)
        self.line = line
        self.message = message


# ---------------------------------------------------------------------------
# Encoders

def cushort(value):
    """Compressed unsigned short: one byte below 128, else two."""
    if not 0 <= value <= 0x7FFF:
        raise ValueError("cushort out of range: %d" % value)
    if value < 128:
        return bytes([value * 2])
    return struct.pack("<H", value * 2 + 1)


def csshort(value):
    """Compressed signed short: one byte for -64..63, else two."""
    if not -16384 <= value <= 16383:
        raise ValueError("csshort out of range: %d" % value)
    if -64 <= value <= 63:
        return bytes([(value + 64) * 2])
    return struct.pack("<H", (value + 16384) * 2 + 1)


def cslong(value):
    """Compressed signed long: two bytes for -16384..16383, else four."""
    if -16384 <= value <= 16383:
        return struct.pack("<H", (value + 16384) * 2)
    if not -0x40000000 <= value < 0x40000000:
        raise ValueError("cslong out of range: %d" % value)
    return struct.pack("<I", (value + 0x40000000) * 2 + 1)


def _hash_value(ch):
    if "A" <= ch <= "Z":
        return ord(ch) - ord("A") + 17
    if "a" <= ch <= "z":
        return ord(ch) - ord("a") + 17
    if "1" <= ch <= "9":
        return ord(ch) - ord("0")
    if ch == "0":
        return 10
    if ch == ".":
        return 12
    if ch == "_":
        return 13
    raise ValueError("character %r is not allowed in a topic id" % ch)


def context_hash(name):
    """The viewer's hash of a context name, as a signed 32-bit number."""
    h = 0
    for ch in name:
        h = (h * 43 + _hash_value(ch)) & 0xFFFFFFFF
    return h - 0x100000000 if h & 0x80000000 else h


def valid_id(name):
    return bool(name) and all(ch in ID_CHARS for ch in name)


# ---------------------------------------------------------------------------
# Parsing

class Paragraph:
    """kind is 'heading', 'text' or 'bullet'; items is a list of
    ('text', str), ('bold', bool) and ('link', target_id, text_or_None, line)."""

    def __init__(self, kind, items, line):
        self.kind = kind
        self.items = items
        self.line = line


class Topic:
    def __init__(self, topic_id, title, line):
        self.id = topic_id
        self.title = title
        self.line = line
        self.paragraphs = [Paragraph("heading", [("text", title)], line)]


class Document:
    def __init__(self):
        self.title = None
        self.topics = []


PUNCTUATION = frozenset(string.punctuation)


class _Block:
    """Source lines gathered into one paragraph or bullet item."""

    def __init__(self, kind, line, text):
        self.kind = kind
        self.pieces = [(line, text)]

    def add(self, line, text):
        self.pieces.append((line, text))

    def joined(self):
        """The text with lines joined by one space, and a map from character
        offset back to source line."""
        text = ""
        starts = []
        for line, piece in self.pieces:
            if text:
                text += " "
            starts.append((len(text), line))
            text += piece
        return text, starts


def _line_at(starts, offset):
    line = starts[0][1]
    for start, ln in starts:
        if start > offset:
            break
        line = ln
    return line


def parse_inline(text, starts):
    """Turn paragraph text with **bold** and [[id|text]] markup into items."""
    items = []
    buf = []
    bold_open = None
    i = 0
    n = len(text)

    def flush():
        if buf:
            items.append(("text", "".join(buf)))
            del buf[:]

    while i < n:
        c = text[i]
        if c == "\\" and i + 1 < n and text[i + 1] in PUNCTUATION:
            buf.append(text[i + 1])
            i += 2
        elif text.startswith("**", i):
            flush()
            if bold_open is None:
                bold_open = i
                items.append(("bold", True))
            else:
                bold_open = None
                items.append(("bold", False))
            i += 2
        elif text.startswith("[[", i):
            flush()
            i = _parse_link(text, i, starts, items)
        elif text.startswith("]]", i):
            raise SourceError(_line_at(starts, i), "']]' without a matching '[['")
        else:
            buf.append(c)
            i += 1
    flush()
    if bold_open is not None:
        raise SourceError(_line_at(starts, bold_open),
                          "'**' (bold) is not closed in this paragraph")
    return items


def _parse_link(text, start, starts, items):
    """Parse the link at text[start] ('[['); append it; return the index
    after its ']]'."""
    line = _line_at(starts, start)
    parts = [[]]
    i = start + 2
    n = len(text)
    while True:
        if i >= n:
            raise SourceError(line, "'[[' (link) is not closed with ']]'")
        c = text[i]
        if c == "\\" and i + 1 < n and text[i + 1] in PUNCTUATION:
            parts[-1].append(text[i + 1])
            i += 2
        elif text.startswith("]]", i):
            i += 2
            break
        elif text.startswith("[[", i):
            raise SourceError(line, "a link cannot contain another link")
        elif text.startswith("**", i):
            raise SourceError(line, "bold markup is not allowed inside a link; "
                                    "put the '**' around the whole link")
        elif c == "|" and len(parts) == 1:
            parts.append([])
            i += 1
        else:
            parts[-1].append(c)
            i += 1
    target = "".join(parts[0]).strip()
    label = "".join(parts[1]).strip() if len(parts) > 1 else None
    if not target:
        raise SourceError(line, "link has no target topic id")
    if not valid_id(target):
        raise SourceError(line, "link target '%s' is not a valid topic id "
                                "(use only A-Z, a-z, 0-9, '.' and '_')" % target)
    if label is not None and not label:
        raise SourceError(line, "link to '%s' has empty text" % target)
    items.append(("link", target, label, line))
    return i


TOPIC_LINE = re.compile(r"^=\s*([^:]*?)\s*:\s*(.*?)\s*$")
DIRECTIVE_LINE = re.compile(r"^@(\S*)\s*(.*?)\s*$")


def _check_characters(line_no, text):
    for col, ch in enumerate(text, 1):
        if ch != "\t" and (ord(ch) < 0x20 or ch == "\x7f"):
            raise SourceError(line_no, "control character U+%04X in column %d"
                              % (ord(ch), col))
        try:
            ch.encode("cp1252")
        except UnicodeEncodeError:
            raise SourceError(line_no, "character U+%04X in column %d cannot be "
                              "written in the Windows-1252 code page"
                              % (ord(ch), col)) from None


def decode_source(data):
    """Bytes to text; invalid UTF-8 is an error that names its line."""
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        line = data[:e.start].count(b"\n") + 1
        raise SourceError(line, "the source is not valid UTF-8 (byte 0x%02X)"
                          % data[e.start]) from None
    if text.startswith("\ufeff"):
        text = text[1:]
    return text


def parse(text, errors):
    """Parse the source text into a Document, appending every SourceError to
    errors (parsing goes on after an error so that all of them are reported)."""
    doc = Document()
    topic = None
    block = None
    title_line = 0

    def finish_block():
        nonlocal block
        if block is None:
            return
        b, block = block, None
        joined, starts = b.joined()
        try:
            items = parse_inline(joined, starts)
        except SourceError as e:
            errors.append(e)
            return
        topic.paragraphs.append(Paragraph(b.kind, items, b.pieces[0][0]))

    lines = text.split("\n")
    for line_no, raw in enumerate(lines, 1):
        raw = raw.rstrip("\r")
        if raw.startswith("#"):
            continue
        try:
            _check_characters(line_no, raw)
        except SourceError as e:
            errors.append(e)
            continue
        line = raw.replace("\t", " ").rstrip()
        if not line:
            finish_block()
            continue
        if line.startswith("@"):
            finish_block()
            m = DIRECTIVE_LINE.match(line)
            name, value = m.group(1), m.group(2)
            if topic is not None:
                errors.append(SourceError(line_no, "directive '@%s' after the first topic; "
                                          "directives go at the top" % name))
            elif name != "title":
                errors.append(SourceError(line_no, "unknown directive '@%s'" % name))
            elif title_line:
                errors.append(SourceError(line_no, "second @title (the first is on line %d)"
                                          % title_line))
            else:
                title_line = line_no
                if not value:
                    errors.append(SourceError(line_no, "@title needs a text"))
                elif len(value) > TITLE_MAX:
                    errors.append(SourceError(line_no, "the help title has %d characters; "
                                              "the limit is %d" % (len(value), TITLE_MAX)))
                else:
                    doc.title = value
            continue
        if line.startswith("="):
            finish_block()
            m = TOPIC_LINE.match(line)
            if not m:
                errors.append(SourceError(line_no, "a topic line reads '= id: Title'"))
                topic = topic or Topic("?", "?", line_no)
                continue
            topic_id, title = m.group(1), m.group(2)
            topic = Topic(topic_id, title, line_no)
            doc.topics.append(topic)
            if not valid_id(topic_id):
                errors.append(SourceError(line_no, "topic id '%s' is not valid "
                                          "(use only A-Z, a-z, 0-9, '.' and '_')" % topic_id))
            if not title:
                errors.append(SourceError(line_no, "topic '%s' has no title" % topic_id))
            elif len(title) > TOPIC_TITLE_MAX:
                errors.append(SourceError(line_no, "the topic title has %d characters; "
                                          "the limit is %d" % (len(title), TOPIC_TITLE_MAX)))
            continue
        if topic is None:
            errors.append(SourceError(line_no, "text before the first topic "
                                      "(a topic starts with '= id: Title')"))
            continue
        if line.startswith("* "):
            finish_block()
            block = _Block("bullet", line_no, line[2:].strip())
        elif block is not None:
            block.add(line_no, line.strip())
        else:
            block = _Block("text", line_no, line.strip())
    if topic is not None:
        finish_block()

    if not title_line:
        errors.append(SourceError(0, "no '@title' line"))
    if not doc.topics:
        errors.append(SourceError(0, "no topics (a topic starts with '= id: Title')"))
    _check_topics(doc, errors)
    return doc


def _check_topics(doc, errors):
    """Duplicate ids, hash clashes and jump targets."""
    by_hash = {}
    for t in doc.topics:
        if not valid_id(t.id):
            continue
        h = context_hash(t.id)
        other = by_hash.get(h)
        if other is None:
            by_hash[h] = t
        elif other.id.lower() == t.id.lower():
            errors.append(SourceError(t.line, "duplicate topic id '%s' (first on line %d; "
                                      "ids ignore case)" % (t.id, other.line)))
        else:
            errors.append(SourceError(t.line, "topic ids '%s' and '%s' (line %d) have the "
                                      "same hash; rename one" % (t.id, other.id, other.line)))
    for t in doc.topics:
        for p in t.paragraphs:
            for item in p.items:
                if item[0] == "link" and context_hash(item[1]) not in by_hash:
                    errors.append(SourceError(item[3], "link to unknown topic '%s'" % item[1]))


def unreachable_topics(doc):
    """Topics that no chain of jumps from the contents topic reaches."""
    index = {context_hash(t.id): t for t in doc.topics}
    seen = set()
    todo = [doc.topics[0]]
    while todo:
        t = todo.pop()
        if t.id.lower() in seen:
            continue
        seen.add(t.id.lower())
        for p in t.paragraphs:
            for item in p.items:
                if item[0] == "link":
                    todo.append(index[context_hash(item[1])])
    return [t for t in doc.topics if t.id.lower() not in seen]


# ---------------------------------------------------------------------------
# |TOPIC

class Record:
    """One TOPICLINK record.  ld1 of a topic header is filled in after layout,
    when the positions it refers to are known."""

    def __init__(self, rtype, ld1, ld2, topic=None):
        self.type = rtype
        self.ld1 = ld1
        self.ld2 = ld2
        self.topic = topic           # index of the topic a header record opens
        self.texts = []              # text records of a header's topic
        self.block = self.offset = 0

    @property
    def head_size(self):
        return TOPICLINK_SIZE + len(self.ld1)

    @property
    def size(self):
        return self.head_size + len(self.ld2)

    @property
    def topicpos(self):
        return self.block * TOPICPOS_BLOCK + self.offset


PARA_FORMATS = {
    # kind: (bits, values in bit order)
    "heading": (0, []),
    "text": (PARA_SPACE_ABOVE, [12]),
    "bullet": (PARA_SPACE_ABOVE | PARA_LEFT_INDENT | PARA_FIRST_INDENT, [6, 36, -18]),
}


def text_record(paragraph, titles, line):
    """Build the 0x20 record of one paragraph."""
    commands = bytearray()
    strings = []
    current = []

    def command(cmd):
        strings.append("".join(current))
        del current[:]
        commands.extend(cmd)

    base = FONT_HEADING if paragraph.kind == "heading" else FONT_BODY
    command(bytes([CMD_FONT]) + struct.pack("<H", base))
    if paragraph.kind == "bullet":
        current.append(BULLET + "  ")
    for item in paragraph.items:
        if item[0] == "text":
            current.append(item[1])
        elif item[0] == "bold":
            command(bytes([CMD_FONT]) + struct.pack("<H", FONT_BOLD if item[1] else base))
        else:
            _, target, label, _ = item
            command(bytes([CMD_JUMP]) + struct.pack("<i", context_hash(target)))
            current.append(label if label is not None else titles[target.lower()])
            command(bytes([CMD_END_HOTSPOT]))
    command(bytes([CMD_END_PARAGRAPH]))
    command(bytes([CMD_END]))

    ld2 = b"".join(s.encode("cp1252") + b"\0" for s in strings)
    if len(ld2) > 0x7FFF:
        raise SourceError(line, "paragraph is too long (%d bytes; the limit is %d)"
                          % (len(ld2), 0x7FFF))
    bits, values = PARA_FORMATS[paragraph.kind]
    para = bytes([0x00, 0x80]) + struct.pack("<HH", 0, bits)
    para += b"".join(csshort(v) for v in values)
    tail = para + bytes(commands)
    ld1 = cslong(len(tail)) + cushort(len(ld2)) + tail
    if TOPICLINK_SIZE + len(ld1) > BLOCK_SIZE - BLOCK_HEADER:
        raise SourceError(line, "paragraph has too many links and bold changes "
                                "to fit a topic block; split it")
    return Record(0x20, ld1, ld2)


def build_records(doc):
    """All records of |TOPIC in order: per topic a header and its paragraphs,
    then an empty trailing header."""
    titles = {t.id.lower(): t.title for t in doc.topics}
    records = []
    for number, t in enumerate(doc.topics):
        header = Record(0x02, bytes(28), t.title.encode("cp1252"), topic=number)
        records.append(header)
        for p in t.paragraphs:
            r = text_record(p, titles, p.line)
            header.texts.append(r)
            records.append(r)
    records.append(Record(0x02, bytes(28), b"", topic=len(doc.topics)))
    return records


def layout(records):
    """Place records in 4096-byte blocks: a record's TOPICLINK and LinkData1
    never straddle a block; its LinkData2 may.  Returns the number of blocks."""
    block, offset = 0, BLOCK_HEADER
    for r in records:
        if offset + r.head_size > BLOCK_SIZE:
            block, offset = block + 1, BLOCK_HEADER
        r.block, r.offset = block, offset
        offset += r.head_size
        remaining = len(r.ld2)
        while remaining:
            if offset == BLOCK_SIZE:
                block, offset = block + 1, BLOCK_HEADER
            take = min(BLOCK_SIZE - offset, remaining)
            offset += take
            remaining -= take
    return block + 1


def topic_offsets(records):
    """TOPICOFFSET of every record: its block times 0x8000 plus the TopicLength
    of the text records that start earlier in the same block."""
    result = []
    block, count = -1, 0
    for r in records:
        if r.block != block:
            block, count = r.block, 0
        result.append(block * TOPICOFFSET_BLOCK + count)
        if r.type == 0x20:
            count += len(r.ld2)
    return result


def build_topic_file(records):
    nblocks = layout(records)
    offsets = topic_offsets(records)
    headers = [r for r in records if r.type == 0x02]

    for i, h in enumerate(headers):
        following = headers[i + 1].topicpos if i + 1 < len(headers) else NONE32
        if h is headers[-1]:
            h.ld1 = struct.pack("<IIIIIII", 0, NONE32, NONE32, h.topic,
                                NONE32, NONE32, NONE32)
        else:
            h.ld1 = struct.pack("<IIIIIII", sum(t.size for t in h.texts), NONE32, NONE32,
                                h.topic, NONE32,
                                h.texts[0].topicpos if h.texts else NONE32, following)

    data = bytearray(nblocks * BLOCK_SIZE)
    for b in range(nblocks):
        before = [r for r in records if r.block < b]
        starting = [r for r in records if r.block == b]
        last_header = [r for r in before if r.type == 0x02]
        struct.pack_into("<III", data, b * BLOCK_SIZE,
                         before[-1].topicpos if before else NONE32,
                         starting[0].topicpos if starting else NONE32,
                         last_header[-1].topicpos if last_header else 0)

    for i, r in enumerate(records):
        prev = records[i - 1].topicpos if i > 0 else NONE32
        nxt = records[i + 1].topicpos if i + 1 < len(records) else NONE32
        head = struct.pack("<IIIII", r.size, len(r.ld2), prev, nxt, r.head_size)
        head += bytes([r.type]) + r.ld1
        pos = r.block * BLOCK_SIZE + r.offset
        data[pos:pos + len(head)] = head
        pos += len(head)
        for byte in r.ld2:
            if pos % BLOCK_SIZE == 0:
                pos += BLOCK_HEADER
            data[pos] = byte
            pos += 1

    topic_starts = [offsets[i] for i, r in enumerate(records) if r.type == 0x02][:-1]
    return bytes(data), topic_starts


# ---------------------------------------------------------------------------
# B+ trees

BTREE_MAGIC = 0x293B


def build_btree(entries, page_size, structure, flags):
    """entries: sorted list of (index key bytes, leaf entry bytes)."""
    leaves = [[]]
    used = 8
    for key, leaf in entries:
        if 8 + len(leaf) > page_size:
            raise ValueError("B-tree entry larger than a page")
        if leaves[-1] and used + len(leaf) > page_size:
            leaves.append([])
            used = 8
        leaves[-1].append((key, leaf))
        used += len(leaf)

    pages = []
    nleaves = len(leaves)
    for i, page in enumerate(leaves):
        body = b"".join(leaf for _, leaf in page)
        pages.append(struct.pack("<Hhhh", page_size - 8 - len(body), len(page),
                                 i - 1 if i > 0 else -1,
                                 i + 1 if i + 1 < nleaves else -1)
                     + body + bytes(page_size - 8 - len(body)))

    level = [(page[0][0] if page else b"", i) for i, page in enumerate(leaves)]
    nlevels = 1
    while len(level) > 1:
        upper = []
        i = 0
        while i < len(level):
            first_key, first_child = level[i]
            i += 1
            body = b""
            count = 0
            while i < len(level) and 6 + len(body) + len(level[i][0]) + 2 <= page_size:
                body += level[i][0] + struct.pack("<h", level[i][1])
                count += 1
                i += 1
            pages.append(struct.pack("<Hhh", page_size - 6 - len(body), count, first_child)
                         + body + bytes(page_size - 6 - len(body)))
            upper.append((first_key, len(pages) - 1))
        level = upper
        nlevels += 1

    header = struct.pack("<HHH16shhhhhhi", BTREE_MAGIC, flags, page_size,
                         structure.encode("ascii"), 0, len(pages) - nlevels,
                         level[0][1], -1, len(pages), nlevels, len(entries))
    return header + b"".join(pages)


# ---------------------------------------------------------------------------
# The other internal files

def build_system(title, contents_offset):
    caption = title.encode("cp1252")
    records = [
        (1, caption + b"\0"),
        (3, struct.pack("<I", contents_offset)),
        # A window record named "main" with a caption: without it the viewer
        # started by WinHelpA captions its window with its own name.
        (6, struct.pack("<H", 0x0006) + bytes(10) + b"main".ljust(9, b"\0")
            + caption.ljust(51, b"\0") + bytes(8 + 2 + 4 + 4)),
    ]
    data = struct.pack("<HHHIH", 0x036C, 21, 1, 0, 0)
    for rtype, body in records:
        data += struct.pack("<HH", rtype, len(body)) + body
    return data


def build_font():
    face_len = 20
    faces = [b"Arial"]
    # attributes, half-points, family (3 = swiss), face, RGB foreground
    descriptors = [
        (0x00, 20, 3, 0, (0, 0, 0)),        # FONT_BODY: 10 pt
        (0x01, 28, 3, 0, (0, 0, 128)),      # FONT_HEADING: 14 pt bold navy
        (0x01, 20, 3, 0, (0, 0, 0)),        # FONT_BOLD: 10 pt bold
    ]
    data = struct.pack("<HHHH", len(faces), len(descriptors), 8, 8 + len(faces) * face_len)
    data += b"".join(f.ljust(face_len, b"\0") for f in faces)
    for attr, size, family, face, rgb in descriptors:
        data += struct.pack("<BBBH", attr, size, family, face) + bytes(rgb) + bytes(3)
    return data


def build_context(doc, offsets):
    entries = sorted((context_hash(t.id), off) for t, off in zip(doc.topics, offsets))
    return build_btree([(struct.pack("<i", h), struct.pack("<iI", h, off))
                        for h, off in entries], 2048, "L4", 0x0002)


def build_ttlbtree(doc, offsets):
    entries = sorted(zip(offsets, (t.title for t in doc.topics)))
    return build_btree([(struct.pack("<I", off),
                         struct.pack("<I", off) + title.encode("cp1252") + b"\0")
                        for off, title in entries], 2048, "Lz", 0x0002)


def internal_file(data):
    return struct.pack("<IIB", len(data) + 9, len(data), 4) + data


def compile_document(doc):
    """The bytes of the .hlp file for a parsed, error-free document."""
    records = build_records(doc)
    topic_data, offsets = build_topic_file(records)
    files = {
        b"|CONTEXT": build_context(doc, offsets),
        b"|CTXOMAP": struct.pack("<H", 0),
        b"|FONT": build_font(),
        b"|SYSTEM": build_system(doc.title, offsets[0]),
        b"|TOPIC": topic_data,
        b"|TTLBTREE": build_ttlbtree(doc, offsets),
    }
    body = bytearray()
    where = {}
    position = 16
    for name in sorted(files):
        where[name] = position
        chunk = internal_file(files[name])
        body += chunk
        position += len(chunk)
    directory = internal_file(build_btree(
        [(name + b"\0", name + b"\0" + struct.pack("<I", where[name])) for name in sorted(where)],
        1024, "z4", 0x0402))
    total = 16 + len(body) + len(directory)
    return struct.pack("<IIiI", 0x00035F3F, position, -1, total) + bytes(body) + directory


def compile_source(text):
    """Source text to .hlp bytes.  Raises a list of SourceErrors via
    CompileErrors when the source is faulty."""
    errors = []
    doc = parse(text, errors)
    if not errors:
        try:
            return doc, compile_document(doc)
        except SourceError as e:
            errors.append(e)
    # Errors about the file as a whole (line 0) come after those of single lines.
    raise CompileErrors(sorted(errors, key=lambda e: (e.line == 0, e.line)))


class CompileErrors(Exception):
    def __init__(self, errors):
        super().__init__("%d error(s)" % len(errors))
        self.errors = errors


# ---------------------------------------------------------------------------
# HTML

HTML_STYLE = """\
body { font-family: Arial, Helvetica, sans-serif; font-size: 100%; line-height: 1.45;
       max-width: 42em; margin: 1em auto; padding: 0 1em; color: #000; background: #fff; }
h1 { font-size: 1.6em; }
h2 { font-size: 1.3em; color: #000080; margin-top: 0; }
section { border-top: 1px solid #c0c0c0; padding-top: 0.8em; margin-top: 1.2em; }
ul { padding-left: 1.5em; }
"""


def html_inline(items, ids, titles):
    """The HTML of a paragraph's items: text escaped, bold as <strong>, jumps
    as links to the target topic's section."""
    out = []
    bold = False
    for item in items:
        if item[0] == "text":
            out.append(html.escape(item[1], quote=False))
        elif item[0] == "bold":
            bold = item[1]
            out.append("<strong>" if bold else "</strong>")
        else:
            _, target, label, _ = item
            key = target.lower()
            out.append('<a href="#%s">%s</a>' % (html.escape(ids[key]),
                       html.escape(label if label is not None else titles[key], quote=False)))
    return "".join(out)


def compile_html(doc):
    """The text of the HTML page for a parsed, error-free document."""
    ids = {t.id.lower(): t.id for t in doc.topics}
    titles = {t.id.lower(): t.title for t in doc.topics}
    lines = ["<!DOCTYPE html>",
             '<html lang="en">',
             "<head>",
             '<meta charset="utf-8">',
             '<meta name="viewport" content="width=device-width, initial-scale=1">',
             "<title>%s</title>" % html.escape(doc.title, quote=False),
             "<style>", HTML_STYLE.rstrip("\n"), "</style>",
             "</head>",
             "<body>",
             "<h1>%s</h1>" % html.escape(doc.title, quote=False)]
    for t in doc.topics:
        lines.append('<section id="%s">' % html.escape(t.id))
        in_list = False
        for p in t.paragraphs:
            if p.kind == "bullet" and not in_list:
                lines.append("<ul>")
            elif p.kind != "bullet" and in_list:
                lines.append("</ul>")
            in_list = p.kind == "bullet"
            text = html_inline(p.items, ids, titles)
            tag = {"heading": "h2", "text": "p", "bullet": "li"}[p.kind]
            lines.append("<%s>%s</%s>" % (tag, text, tag))
        if in_list:
            lines.append("</ul>")
        lines.append("</section>")
    lines += ["</body>", "</html>", ""]
    return "\n".join(lines)


# ---------------------------------------------------------------------------
# Command line

def write_atomically(path, data):
    """Write to a temporary file beside path and rename it into place, so that
    a failure never leaves a partial output behind."""
    directory = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".hlpc-", suffix=".tmp", dir=directory)
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        # mkstemp creates the file private; give it the usual permissions.
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(tmp, 0o666 & ~umask)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise


def main(argv):
    if len(argv) not in (3, 4) or argv[1].startswith("-"):
        sys.stderr.write("usage: hlpc.py SOURCE OUTPUT.hlp [OUTPUT.html]\n")
        return 2
    source, output = argv[1], argv[2]
    html_output = argv[3] if len(argv) == 4 else None
    name = os.path.basename(source)
    paths = [os.path.abspath(p) for p in (source, output, html_output) if p is not None]
    if os.path.abspath(source) in paths[1:]:
        sys.stderr.write("hlpc: the output would overwrite the source %s\n" % source)
        return 2
    if len(set(paths)) != len(paths):
        sys.stderr.write("hlpc: the two outputs are the same file %s\n" % output)
        return 2
    try:
        with open(source, "rb") as f:
            raw = f.read()
    except OSError as e:
        sys.stderr.write("hlpc: cannot read %s: %s\n" % (source, e.strerror))
        return 1
    try:
        doc, data = compile_source(decode_source(raw))
    except SourceError as e:
        errors = [e]
    except CompileErrors as e:
        errors = e.errors
    else:
        errors = []
    if errors:
        for e in errors:
            where = "%s:%d" % (name, e.line) if e.line else name
            sys.stderr.write("%s: error: %s\n" % (where, e.message))
        sys.stderr.write("hlpc: %d error(s); %s not written\n"
                         % (len(errors), " and ".join(p for p in (output, html_output) if p)))
        return 1
    for t in unreachable_topics(doc):
        sys.stderr.write("%s:%d: warning: topic '%s' cannot be reached from the contents "
                         "topic\n" % (name, t.line, t.id))
    outputs = [(output, data)]
    if html_output is not None:
        outputs.append((html_output, compile_html(doc).encode("utf-8")))
    for path, content in outputs:
        try:
            write_atomically(path, content)
        except OSError as e:
            sys.stderr.write("hlpc: cannot write %s: %s\n" % (path, e.strerror))
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
