#!/usr/bin/env python3
"""Writes an archive of a given total size for memory measurements, streaming
(it never holds an entry in memory): a few stored entries of pseudo-random
bytes and deflated entries of repetitive text.

usage: make_big_archive.py OUTPUT MEGABYTES
"""
import os
import struct
import sys
import zlib

FILETIME = 132000000000000000
CHUNK = 1 << 20


def write_entry(out, name, size, method, seed):
    units = name.encode("utf-16-le")
    offset = out.tell()
    header_at = offset
    out.write(b"\0" * 64 + units)
    data_crc = content_crc = 0
    stored = 0
    z = zlib.compressobj(6, zlib.DEFLATED, -15) if method == 1 else None
    block = (os.urandom(CHUNK) if method == 0 else (b"voxkit sample line %d\n" % seed) * (CHUNK // 24 + 1))[:CHUNK]
    left = size
    while left:
        piece = block[: min(left, CHUNK)]
        left -= len(piece)
        content_crc = zlib.crc32(piece, content_crc)
        data = z.compress(piece) if z else piece
        if not left and z:
            data += z.flush()
        data_crc = zlib.crc32(data, data_crc)
        stored += len(data)
        out.write(data)
    end = out.tell()
    out.seek(header_at)
    out.write(struct.pack("<IIIIIQIIQQIII", 0x0A034D55, 0, 0, method, 6, FILETIME, data_crc, content_crc, stored,
                          size, 0x20, len(name), 0))
    out.seek(end)
    return struct.pack("<IIIIIQIIQQIIIIIIQ", 0x0B014D55, 0, 0, method, 6, FILETIME, data_crc, content_crc, stored,
                       size, len(name), 0, 0, 0, 0x20, 0, offset) + units


def main():
    output, megabytes = sys.argv[1], int(sys.argv[2])
    total = megabytes << 20
    records = []
    with open(output, "wb") as out:
        sizes = [total // 2, total // 4, total // 8]
        sizes.append(total - sum(sizes))
        for i, size in enumerate(sizes):
            records.append(write_entry(out, "part%d\\file%d.bin" % (i, i), size, i % 2, i))
        directory_at = out.tell()
        directory = b"".join(records)
        out.write(directory)
        out.write(struct.pack("<IIIIIQQQIII", 0x0C054D55, 1, 0, len(records), len(records), len(directory),
                              directory_at, 0, 0, 0, 0))


main()
