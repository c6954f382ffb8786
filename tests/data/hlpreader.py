"""A small reader of uncompressed WinHelp 3.1 files, for checking hlpc's output.

Written from the file format alone, not from the compiler, so that a fault in
the compiler's layout is not copied into the check.  Every inconsistency it
meets raises FormatError.
"""

import struct

BLOCK = 4096
BLOCK_HEADER = 12


class FormatError(Exception):
    pass


def check(condition, message, *args):
    if not condition:
        raise FormatError(message % args if args else message)


def stringz(data, pos):
    end = data.index(b"\0", pos)
    return data[pos:end], end + 1


# -- compressed integers -----------------------------------------------------

def read_cushort(data, pos):
    if data[pos] & 1:
        return struct.unpack_from("<H", data, pos)[0] // 2, pos + 2
    return data[pos] // 2, pos + 1


def read_csshort(data, pos):
    if data[pos] & 1:
        return struct.unpack_from("<H", data, pos)[0] // 2 - 16384, pos + 2
    return data[pos] // 2 - 64, pos + 1


def read_cslong(data, pos):
    if data[pos] & 1:
        return struct.unpack_from("<I", data, pos)[0] // 2 - 0x40000000, pos + 4
    return struct.unpack_from("<H", data, pos)[0] // 2 - 16384, pos + 2


# -- B+ trees ----------------------------------------------------------------

class BTree:
    """key_reader(data, pos) -> (key, pos); leaf_reader(data, pos) -> (key, value, pos)."""

    def __init__(self, data, key_reader, leaf_reader):
        (magic, self.flags, self.page_size, structure, zero, self.splits, self.root,
         neg_one, self.total_pages, self.levels, self.entries) = \
            struct.unpack_from("<HHH16shhhhhhi", data, 0)
        check(magic == 0x293B, "B-tree magic is 0x%04X", magic)
        check(neg_one == -1, "B-tree MustBeNegOne is %d", neg_one)
        check(len(data) == 38 + self.total_pages * self.page_size,
              "B-tree of %d pages of %d bytes has %d bytes", self.total_pages,
              self.page_size, len(data))
        check(0 <= self.root < self.total_pages, "B-tree root page %d out of range", self.root)
        check(self.levels >= 1, "B-tree has %d levels", self.levels)
        self.structure = structure.rstrip(b"\0")
        self.data = data
        self.key_reader = key_reader
        self.leaf_reader = leaf_reader

    def page(self, n):
        check(0 <= n < self.total_pages, "B-tree page %d out of range", n)
        start = 38 + n * self.page_size
        return self.data[start:start + self.page_size]

    def _index(self, n):
        page = self.page(n)
        unused, count, first = struct.unpack_from("<Hhh", page, 0)
        pos = 6
        pairs = []
        for _ in range(count):
            key, pos = self.key_reader(page, pos)
            child, = struct.unpack_from("<h", page, pos)
            pos += 2
            pairs.append((key, child))
        check(unused == self.page_size - pos, "index page %d: Unused %d, should be %d",
              n, unused, self.page_size - pos)
        return first, pairs

    def _leaf(self, n):
        page = self.page(n)
        unused, count, previous, following = struct.unpack_from("<Hhhh", page, 0)
        pos = 8
        items = []
        for _ in range(count):
            key, value, pos = self.leaf_reader(page, pos)
            items.append((key, value))
        check(unused == self.page_size - pos, "leaf page %d: Unused %d, should be %d",
              n, unused, self.page_size - pos)
        return items, previous, following

    def lookup(self, key):
        """Descend from the root as the viewer does."""
        n = self.root
        for _ in range(self.levels - 1):
            first, pairs = self._index(n)
            n = first
            for k, child in pairs:
                if k > key:
                    break
                n = child
        items, _, _ = self._leaf(n)
        for k, value in items:
            if k == key:
                return value
            if k > key:
                break
        return None

    def items(self):
        """All leaf entries, following the leaf chain from the leftmost leaf."""
        n = self.root
        for _ in range(self.levels - 1):
            n, _ = self._index(n)
        result = []
        previous_page = -1
        while n != -1:
            items, previous, following = self._leaf(n)
            check(previous == previous_page, "leaf %d: PreviousPage %d, should be %d",
                  n, previous, previous_page)
            result += items
            previous_page, n = n, following
        check(len(result) == self.entries, "B-tree says %d entries, leaves hold %d",
              self.entries, len(result))
        return result


def _dir_key(data, pos):
    return stringz(data, pos)


def _dir_leaf(data, pos):
    name, pos = stringz(data, pos)
    return name, struct.unpack_from("<I", data, pos)[0], pos + 4


def _i32_key(data, pos):
    return struct.unpack_from("<i", data, pos)[0], pos + 4


def _u32_key(data, pos):
    return struct.unpack_from("<I", data, pos)[0], pos + 4


def _context_leaf(data, pos):
    h, offset = struct.unpack_from("<iI", data, pos)
    return h, offset, pos + 8


def _title_leaf(data, pos):
    offset, = struct.unpack_from("<I", data, pos)
    title, pos = stringz(data, pos + 4)
    return offset, title, pos


# -- |TOPIC --------------------------------------------------------------------

class TextRecord:
    def __init__(self):
        self.strings = []      # LinkData2 split at its NULs
        self.commands = []     # (byte, argument or None)
        self.para_bits = 0
        self.topic_length = 0

    @property
    def text(self):
        return "".join(s.decode("cp1252") for s in self.strings)

    @property
    def jumps(self):
        return [arg for cmd, arg in self.commands if cmd == 0xE3]

    @property
    def fonts(self):
        return [arg for cmd, arg in self.commands if cmd == 0x80]


class Topic:
    def __init__(self, title, offset, topicpos):
        self.title = title
        self.offset = offset       # TOPICOFFSET
        self.topicpos = topicpos
        self.paragraphs = []


PARA_VALUE_BITS = [0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040]


def parse_text_ld1(ld1, ld2):
    record = TextRecord()
    topic_size, pos = read_cslong(ld1, 0)
    record.topic_length, pos = read_cushort(ld1, pos)
    check(topic_size == len(ld1) - pos, "TopicSize %d, but %d bytes follow TopicLength",
          topic_size, len(ld1) - pos)
    check(ld1[pos:pos + 2] == b"\x00\x80", "paragraph info does not start with 00 80")
    _, bits = struct.unpack_from("<HH", ld1, pos + 2)
    pos += 6
    record.para_bits = bits
    check(not bits & 0x0001 and not bits & 0x0100 and not bits & 0x0200,
          "unexpected paragraph bits 0x%04X", bits)
    for bit in PARA_VALUE_BITS:
        if bits & bit:
            _, pos = read_csshort(ld1, pos)
    while True:
        check(pos < len(ld1), "formatting commands run off the end of LinkData1")
        cmd = ld1[pos]
        pos += 1
        if cmd == 0x80:
            record.commands.append((cmd, struct.unpack_from("<H", ld1, pos)[0]))
            pos += 2
        elif cmd in (0xE2, 0xE3):
            record.commands.append((cmd, struct.unpack_from("<i", ld1, pos)[0]))
            pos += 4
        elif cmd in (0x81, 0x82, 0x83, 0x89, 0xFF):
            record.commands.append((cmd, None))
        else:
            raise FormatError("unknown formatting command 0x%02X" % cmd)
        if cmd == 0xFF:
            break
    check(pos == len(ld1), "%d bytes after the end of the commands", len(ld1) - pos)
    check(record.topic_length == len(ld2), "TopicLength %d, LinkData2 has %d bytes",
          record.topic_length, len(ld2))
    check(ld2.count(b"\0") == len(record.commands),
          "LinkData2 has %d NULs for %d commands", ld2.count(b"\0"), len(record.commands))
    check(ld2.endswith(b"\0"), "LinkData2 does not end with a NUL")
    record.strings = ld2[:-1].split(b"\0")
    return record


def read_topics(data):
    """Walk |TOPIC record by record along NextBlock; check the block rules and
    recompute every TOPICOFFSET from the TopicLengths."""
    check(len(data) % BLOCK == 0, "|TOPIC is %d bytes, not whole blocks", len(data))
    blocks = len(data) // BLOCK
    topics = []
    starts = []                 # (block, topicpos, type) of every record
    pos = 0x0C
    previous = 0xFFFFFFFF
    count_block, count = -1, 0
    while pos != 0xFFFFFFFF:
        block, offset = divmod(pos, 0x4000)
        check(block < blocks and BLOCK_HEADER <= offset < BLOCK,
              "TOPICPOS 0x%X is not inside a block", pos)
        base = block * BLOCK + offset
        check(offset + 21 <= BLOCK, "TOPICLINK at 0x%X straddles a block", pos)
        size, len2, prev, nxt, len1 = struct.unpack_from("<IIIII", data, base)
        rtype = data[base + 20]
        check(prev == previous, "record 0x%X: PrevBlock 0x%X, should be 0x%X", pos, prev, previous)
        check(offset + len1 <= BLOCK, "record 0x%X: LinkData1 straddles a block", pos)
        check(len2 == size - len1, "record 0x%X: DataLen2 %d != BlockSize - DataLen1", pos, len2)
        ld1 = data[base + 21:base + len1]
        ld2 = bytearray()
        p = base + len1
        while len(ld2) < len2:
            if p % BLOCK == 0:
                p += BLOCK_HEADER
            check(p < len(data), "record 0x%X runs off the end of |TOPIC", pos)
            take = min(BLOCK - p % BLOCK, len2 - len(ld2))
            ld2 += data[p:p + take]
            p += take
        ld2 = bytes(ld2)

        if block != count_block:
            count_block, count = block, 0
        topic_offset = block * 0x8000 + count
        starts.append((block, pos, rtype))
        if rtype == 0x02:
            check(len(ld1) == 28, "topic header LinkData1 has %d bytes", len(ld1))
            topics.append(Topic(ld2.decode("cp1252"), topic_offset, pos))
            topics[-1].header = struct.unpack("<IIIIIII", ld1)
        elif rtype == 0x20:
            check(topics, "text record before the first topic header")
            record = parse_text_ld1(ld1, ld2)
            count += record.topic_length
            topics[-1].paragraphs.append(record)
        else:
            raise FormatError("record 0x%X has type 0x%02X" % (pos, rtype))
        previous = pos
        pos = nxt

    for b in range(blocks):
        last_link, first_link, last_header = struct.unpack_from("<III", data, b * BLOCK)
        before = [s for s in starts if s[0] < b]
        inside = [s for s in starts if s[0] == b]
        headers = [s for s in before if s[2] == 0x02]
        check(last_link == (before[-1][1] if before else 0xFFFFFFFF),
              "block %d: LastTopicLink 0x%X", b, last_link)
        check(first_link == (inside[0][1] if inside else 0xFFFFFFFF),
              "block %d: FirstTopicLink 0x%X", b, first_link)
        check(last_header == (headers[-1][1] if headers else 0),
              "block %d: LastTopicHeader 0x%X", b, last_header)
    return topics


# -- the whole file --------------------------------------------------------------

class HelpFile:
    def __init__(self, data):
        check(len(data) >= 16, "file shorter than its header")
        magic, directory, _, size = struct.unpack_from("<IIiI", data, 0)
        check(magic == 0x00035F3F, "magic 0x%08X", magic)
        check(size == len(data), "header says %d bytes, the file has %d", size, len(data))
        self.data = data
        self.directory = BTree(self.internal(directory), _dir_key, _dir_leaf)
        self.files = {name.decode("ascii"): offset for name, offset in self.directory.items()}
        names = list(self.files)
        check(names == sorted(names), "directory not in byte order: %s", names)

    def internal(self, offset):
        reserved, used, _ = struct.unpack_from("<IIB", self.data, offset)
        check(reserved == used + 9, "internal file at %d: ReservedSpace %d, UsedSpace %d",
              offset, reserved, used)
        check(offset + reserved <= len(self.data), "internal file at %d runs past the end",
              offset)
        return self.data[offset + 9:offset + 9 + used]

    def file(self, name):
        check(name in self.files, "no %s in the directory", name)
        return self.internal(self.files[name])

    def system(self):
        data = self.file("|SYSTEM")
        magic, minor, major, _, flags = struct.unpack_from("<HHHIH", data, 0)
        check(magic == 0x036C and major == 1, "|SYSTEM magic 0x%X major %d", magic, major)
        check(flags == 0, "|SYSTEM flags %d: compressed topics are not expected", flags)
        records = {}
        pos = 12
        while pos < len(data):
            rtype, length = struct.unpack_from("<HH", data, pos)
            check(pos + 4 + length <= len(data), "|SYSTEM record %d runs past the end", rtype)
            records.setdefault(rtype, []).append(data[pos + 4:pos + 4 + length])
            pos += 4 + length
        return minor, records

    def context(self):
        return BTree(self.file("|CONTEXT"), _i32_key, _context_leaf)

    def titles(self):
        return BTree(self.file("|TTLBTREE"), _u32_key, _title_leaf)

    def fonts(self):
        data = self.file("|FONT")
        faces, descriptors, face_offset, desc_offset = struct.unpack_from("<HHHH", data, 0)
        check(face_offset == 8, "|FONT FacenamesOffset %d", face_offset)
        check(desc_offset + 11 * descriptors == len(data), "|FONT size does not add up")
        return [struct.unpack_from("<BBBH3B3B", data, desc_offset + 11 * i)
                for i in range(descriptors)]

    def topics(self):
        return read_topics(self.file("|TOPIC"))
