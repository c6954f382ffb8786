"""Reads the registry files of a Wine prefix (system.reg for HKEY_LOCAL_MACHINE, user.reg for
HKEY_CURRENT_USER), as wineserver writes them when it stops: every key with its values.

Strings are kept with wineserver's escapes undone; REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data
become text (a multi-string's parts joined by NUL), dwords numbers, other data bytes."""

import re

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7

_KEY = re.compile(r"^\[(.*)\](?: \d+)?$")
_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t", "0": "\0", "a": "\a",
            "b": "\b", "e": "\x1b", "f": "\f", "v": "\v"}


class RegistryFileError(ValueError):
    pass


def _unescape(text, start, stop_char):
    """The escaped string from start up to an unescaped stop_char (None: the end of text);
    returns it with the index after the stop character."""
    out = []
    i = start
    while i < len(text):
        c = text[i]
        if stop_char is not None and c == stop_char:
            return "".join(out), i + 1
        if c != "\\":
            out.append(c)
            i += 1
            continue
        i += 1
        if i >= len(text):
            raise RegistryFileError("a backslash ends %r" % text)
        c = text[i]
        if c == "x":
            digits = re.match(r"[0-9a-fA-F]{1,4}", text[i + 1:])
            if not digits:
                raise RegistryFileError("\\x without digits in %r" % text)
            out.append(chr(int(digits.group(0), 16)))
            i += 1 + len(digits.group(0))
        elif c in _ESCAPES:
            out.append(_ESCAPES[c])
            i += 1
        else:
            out.append(c)
            i += 1
    if stop_char is not None:
        raise RegistryFileError("unterminated string in %r" % text)
    return "".join(out), i


def _utf16_pairs(s):
    # wineserver writes each UTF-16 unit on its own, surrogates too.
    return s.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "replace")


def _data(text):
    """(type, data) from the text after the '=' of a value line."""
    if text.startswith('"'):
        s, end = _unescape(text, 1, '"')
        return REG_SZ, _utf16_pairs(s)
    m = re.match(r"str\((\d+)\):\"", text)
    if m:
        s, end = _unescape(text, m.end(), '"')
        return int(m.group(1)), _utf16_pairs(s)
    if text.startswith("dword:"):
        return REG_DWORD, int(text[6:], 16)
    m = re.match(r"hex(?:\((\w+)\))?:", text)
    if m:
        kind = int(m.group(1), 16) if m.group(1) else REG_BINARY
        body = text[m.end():].replace(" ", "")
        data = bytes(int(b, 16) for b in body.split(",") if b)
        if kind in (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ):
            return kind, data.decode("utf-16-le", "replace").rstrip("\0")
        return kind, data
    raise RegistryFileError("unknown value data %r" % text[:40])


def _logical_lines(path):
    """The file's lines, with those continued by a final backslash joined (hex data)."""
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        pending = ""
        for line in f:
            line = line.rstrip("\n")
            if pending:
                line = pending + line.lstrip()
                pending = ""
            if line.endswith("\\") and re.match(r'^(".*"|@)=hex', line):
                pending = line[:-1]
                continue
            yield line
        if pending:
            yield pending


def read(path):
    """{key path: {value name ('' for the default): (type, data)}} of one registry file."""
    keys = {}
    values = None
    for line in _logical_lines(path):
        if not line or line.startswith(";") or line.startswith("#") or line.startswith("WINE "):
            continue
        m = _KEY.match(line)
        if m:
            name, _ = _unescape(m.group(1), 0, None)
            values = keys.setdefault(_utf16_pairs(name), {})
            continue
        if values is None:
            raise RegistryFileError("a value before any key: %r" % line[:60])
        if line.startswith("@="):
            name, rest = "", line[2:]
        elif line.startswith('"'):
            name, end = _unescape(line, 1, '"')
            if not line.startswith("=", end):
                raise RegistryFileError("no '=' after the value name in %r" % line[:60])
            name, rest = _utf16_pairs(name), line[end + 1:]
        else:
            raise RegistryFileError("cannot read %r" % line[:60])
        values[name] = _data(rest)
    return keys


def read_prefix(prefix):
    """{'HKLM': keys, 'HKCU': keys} of a stopped prefix (see read)."""
    return {"HKLM": read(prefix + "/system.reg"), "HKCU": read(prefix + "/user.reg")}
