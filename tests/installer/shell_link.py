"""Reads a Windows shortcut (.lnk, the Shell Link binary format) far enough to say what it
starts and where: the target's local path from its LinkInfo and the strings of its StringData
(name, relative path, working directory, arguments, icon location)."""

import struct
import uuid

LINK_CLSID = uuid.UUID("00021401-0000-0000-c000-000000000046")

HAS_LINK_TARGET_ID_LIST = 0x01
HAS_LINK_INFO = 0x02
HAS_NAME = 0x04
HAS_RELATIVE_PATH = 0x08
HAS_WORKING_DIR = 0x10
HAS_ARGUMENTS = 0x20
HAS_ICON_LOCATION = 0x40
IS_UNICODE = 0x80

VOLUME_ID_AND_LOCAL_BASE_PATH = 0x01


class ShellLinkError(ValueError):
    pass


class ShellLink:
    def __init__(self):
        self.flags = 0
        self.target = None  # the local path of what it starts, from LinkInfo
        self.name = None
        self.relative_path = None
        self.working_dir = None
        self.arguments = None
        self.icon_location = None


def _need(data, offset, size, what):
    if offset < 0 or offset + size > len(data):
        raise ShellLinkError("%s at %d runs past the end (%d bytes)" % (what, offset, len(data)))


def _c_string(data, offset, end, what, wide=False):
    """A NUL-terminated string at offset, which must end before end."""
    if wide:
        at = offset
        while True:
            _need(data, at, 2, what)
            if at + 2 > end:
                raise ShellLinkError("%s is not terminated within its structure" % what)
            if data[at:at + 2] == b"\0\0":
                return data[offset:at].decode("utf-16-le")
            at += 2
    stop = data.find(b"\0", offset, end)
    if stop < 0:
        raise ShellLinkError("%s is not terminated within its structure" % what)
    return data[offset:stop].decode("cp1252")


def _link_info(data, offset):
    _need(data, offset, 28, "LinkInfo header")
    size, header_size, flags, _volume, local_base, _network, suffix = struct.unpack_from(
        "<7I", data, offset)
    if size < 28 or header_size < 28:
        raise ShellLinkError("LinkInfo of %d bytes with a header of %d" % (size, header_size))
    _need(data, offset, size, "LinkInfo")
    end = offset + size
    if not flags & VOLUME_ID_AND_LOCAL_BASE_PATH:
        return None, size  # a network link: no local path
    if header_size >= 0x24:
        local_base_unicode, suffix_unicode = struct.unpack_from("<2I", data, offset + 28)
        if local_base_unicode:
            base = _c_string(data, offset + local_base_unicode, end, "LocalBasePathUnicode", True)
            tail = _c_string(data, offset + suffix_unicode, end, "CommonPathSuffixUnicode", True)
            return base + tail, size
    base = _c_string(data, offset + local_base, end, "LocalBasePath")
    tail = _c_string(data, offset + suffix, end, "CommonPathSuffix")
    return base + tail, size


def parse(data):
    """A ShellLink from the bytes of a .lnk file; ShellLinkError when they are not one."""
    _need(data, 0, 0x4C, "ShellLinkHeader")
    header_size, = struct.unpack_from("<I", data, 0)
    clsid = uuid.UUID(bytes_le=bytes(data[4:20]))
    if header_size != 0x4C or clsid != LINK_CLSID:
        raise ShellLinkError("not a shell link (header size %d, class %s)" % (header_size, clsid))
    link = ShellLink()
    link.flags, = struct.unpack_from("<I", data, 20)
    offset = 0x4C

    if link.flags & HAS_LINK_TARGET_ID_LIST:
        _need(data, offset, 2, "IDListSize")
        id_list_size, = struct.unpack_from("<H", data, offset)
        offset += 2 + id_list_size
    if link.flags & HAS_LINK_INFO:
        link.target, size = _link_info(data, offset)
        offset += size

    wide = bool(link.flags & IS_UNICODE)
    for flag, field in ((HAS_NAME, "name"), (HAS_RELATIVE_PATH, "relative_path"),
                        (HAS_WORKING_DIR, "working_dir"), (HAS_ARGUMENTS, "arguments"),
                        (HAS_ICON_LOCATION, "icon_location")):
        if not link.flags & flag:
            continue
        _need(data, offset, 2, field)
        count, = struct.unpack_from("<H", data, offset)
        offset += 2
        size = count * 2 if wide else count
        _need(data, offset, size, field)
        text = data[offset:offset + size].decode("utf-16-le" if wide else "cp1252")
        # Wine counts a terminating NUL in, which the format leaves out; no path holds one.
        setattr(link, field, text.rstrip("\0"))
        offset += size
    return link


def read(path):
    with open(path, "rb") as f:
        return parse(f.read())
