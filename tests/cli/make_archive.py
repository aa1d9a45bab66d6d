#!/usr/bin/env python3
"""Writes small archives byte by byte for the command-line tests.

usage: make_archive.py OUTPUT KIND
  KIND  good     a folder, a deflated text, a stored binary, a non-ASCII name
        hostile  the good entries plus one whose name climbs out ("..\\evil.txt")
        corrupt  the good entries with the stored binary's data damaged
        control  the good entries plus one whose name holds a newline and an
                 escape sequence, its data damaged
        oddname  the good entries plus one whose name has an unpaired surrogate
"""
import struct
import sys
import zlib

FILETIME = 132000000000000000  # 2019-04-17


def deflate(data):
    z = zlib.compressobj(6, zlib.DEFLATED, -15)
    return z.compress(data) + z.flush()


def build(entries, comment=""):
    data, directory = b"", b""
    for name, content, method, attributes, damage in entries:
        folder = name.endswith("\\")
        stored = b"" if folder else (deflate(content) if method == 1 and content else content)
        data_crc = zlib.crc32(stored) if stored else 0
        content_crc = zlib.crc32(content) if content else 0
        if damage:
            stored = bytes([stored[0] ^ 0xFF]) + stored[1:]
        units = name.encode("utf-16-le", "surrogatepass")
        offset = len(data)
        data += struct.pack("<IIIIIQIIQQIII", 0x0A034D55, 0, 0, method, 6, FILETIME, data_crc, content_crc,
                            len(stored), len(content), attributes, len(name), 0) + units + stored
        directory += struct.pack("<IIIIIQIIQQIIIIIIQ", 0x0B014D55, 0, 0, method, 6, FILETIME, data_crc,
                                 content_crc, len(stored), len(content), len(name), 0, 0, 0, attributes, 0,
                                 offset) + units
    text = comment.encode("utf-16-le")
    end = struct.pack("<IIIIIQQQIII", 0x0C054D55, 1, 0, len(entries), len(entries), len(directory), len(data), 0,
                      len(comment), 0, 0) + text
    return data + directory + end


def main():
    output, kind = sys.argv[1], sys.argv[2]
    entries = [
        ("docs\\", b"", 0, 0x10, False),
        ("docs\\readme.txt", b"read me\n" * 200, 1, 0x20, False),
        ("bin\\data.bin", bytes(range(256)) * 64, 0, 0x20, kind == "corrupt"),
        ("caf\u00e9.txt", b"\xe2\x9c\x93\n", 0, 0x20, False),
    ]
    if kind == "hostile":
        entries.append(("..\\evil.txt", b"x", 0, 0x20, False))
    if kind == "control":
        entries.append(("a\nb\x1b[31m.txt", b"x" * 100, 0, 0x20, True))
    if kind == "oddname":
        entries.append(("odd\ud800.txt", b"x", 0, 0x20, False))
    with open(output, "wb") as f:
        f.write(build(entries, "sample \u2713"))


main()
