"""Writes an .ico file for the tests: 32-bit bitmaps of the given sizes and
PNG images (a size ending in 'p', e.g. 256p), each filled with one colour.

    make_icon.py OUT.ico 16 32 48p 256p
"""
import struct
import sys
import zlib


def png(size, colour):
    raw = b"".join(b"\0" + bytes(colour) * size for _ in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(size, colour):
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row = ((size + 31) // 32) * 4
    return header + bytes(colour) * size * size + b"\0" * mask_row * size


def main():
    out, sizes = sys.argv[1], sys.argv[2:]
    images = []
    for n, size_text in enumerate(sizes):
        size = int(size_text.rstrip("p"))
        colour = [(40 * n) % 256, 90, (200 - 30 * n) % 256, 255]
        images.append((size, png(size, colour) if size_text.endswith("p") else dib(size, colour)))
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(image for _, image in images)
    with open(out, "wb") as f:
        f.write(data)


main()
