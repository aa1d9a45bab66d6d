#!/usr/bin/env python3
"""Damaged archives, made from good ones by every kind of lie: truncations at
each record boundary, bad signatures, lengths and offsets out of range,
counts too high or too low, CRC and stream damage, sizes that lie.

For each one `voxpack test` and `voxpack extract` must end (a time limit),
must not crash (no signal, no sanitizer report), and must agree: both fail,
or both succeed and the extracted files are those of the intact archive
(damage that extraction never reads is harmless).

usage: test_damaged_archives.py VOXPACK [SECONDS]
       test_damaged_archives.py VOXPACK --seeds DIR   only writes the damaged
                                                      archives, as fuzzer seeds
"""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
END_SIGNATURE = b"\x55\x4d\x05\x0c"
RECORD = 84        # a directory record without its texts
LOCAL = 64         # a local header without its name


def layout(data):
    """The end record's offset and fields, and each directory record's
    offset with its fields."""
    end = data.rfind(END_SIGNATURE)
    count = struct.unpack_from("<I", data, end + 16)[0]
    dir_size, dir_offset, start = struct.unpack_from("<QQQ", data, end + 20)
    records, at = [], start + dir_offset
    for _ in range(count):
        names = struct.unpack_from("<III", data, at + 52)
        local = struct.unpack_from("<Q", data, at + 76)[0]
        records.append((at, local + start))
        at += RECORD + 2 * sum(names)
    return end, records


def put(data, at, fmt, value):
    out = bytearray(data)
    struct.pack_into(fmt, out, at, value)
    return bytes(out)


def flip(data, at):
    out = bytearray(data)
    out[at] ^= 0x5A
    return bytes(out)


def cases(data):
    end, records = layout(data)
    yield "intact", data
    boundaries = {end, end + 20, len(data) - 1}
    for rec, local in records:
        boundaries |= {rec, rec + 40, local, local + LOCAL, local + LOCAL + 3}
    for cut in sorted(b for b in boundaries if 0 < b < len(data)):
        yield "cut at %d" % cut, data[:cut]
    for field, fmt, values in ((12, "<I", (0, 1, 0x7FFFFFFF, 0xFFFFFFFF)), (16, "<I", (0, 1, 0x7FFFFFFF, 0xFFFFFFFF)),
                               (20, "<Q", (0, 1, 1 << 33, (1 << 64) - 1)), (28, "<Q", (0, 1, 1 << 40)),
                               (36, "<Q", (1, 1 << 40))):
        for value in values:
            yield "end record +%d = %#x" % (field, value), put(data, end + field, fmt, value)
    for count in (len(records) - 1, len(records) + 1):
        both = put(put(data, end + 12, "<I", count), end + 16, "<I", count)
        yield "count %d of %d" % (count, len(records)), both
    yield "end signature", flip(data, end)
    for n, (rec, local) in enumerate(records):
        yield "record %d signature" % n, flip(data, rec)
        yield "local header %d signature" % n, flip(data, local)
        for field, fmt, values in ((3 * 4, "<I", (2, 0xFFFF)),                     # method
                                   (28, "<I", (0,)), (32, "<I", (0,)),               # CRCs
                                   (36, "<Q", (0, 1, 1 << 40)), (44, "<Q", (0, 1, 1 << 62)),  # sizes
                                   (52, "<I", (0, 0xFFFF, 0x7FFFFFFF)),             # name length
                                   (56, "<I", (1, 0x7FFFFFFF)),                     # second text
                                   (76, "<Q", (1, 1 << 40))):                       # local header
            for value in values:
                yield "record %d +%d = %#x" % (n, field, value), put(data, rec + field, fmt, value)
        for field in (36, 44):
            size = struct.unpack_from("<Q", data, rec + field)[0]
            for value in (size - 1, size + 1):
                if value >= 0:
                    yield "record %d +%d = size %+d" % (n, field, value - size), put(data, rec + field, "<Q", value)
        stored = struct.unpack_from("<Q", data, rec + 36)[0]
        if stored > 2:
            name = struct.unpack_from("<I", data, local + 56)[0]
            yield "entry %d data" % n, flip(data, local + LOCAL + 2 * name + stored // 2)


def run(voxpack, args, limit):
    try:
        done = subprocess.run([voxpack] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=limit)
    except subprocess.TimeoutExpired:
        return None, "hung"
    text = done.stderr.decode("utf-8", "replace")
    return done.returncode, text


def same_tree(a, b):
    compare = filecmp.dircmp(a, b)
    if compare.left_only or compare.right_only or compare.diff_files or compare.funny_files:
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in compare.common_dirs)


def main():
    voxpack = sys.argv[1]
    seeds = sys.argv[3] if len(sys.argv) > 3 and sys.argv[2] == "--seeds" else None
    budget = float(sys.argv[2]) if len(sys.argv) > 2 and not seeds else 120
    work = tempfile.mkdtemp()
    sources = []
    for kind in ("good",):
        path = os.path.join(work, kind + ".ach")
        subprocess.run([sys.executable, os.path.join(HERE, "make_archive.py"), path, kind], check=True)
        sources.append(path)
    tree = os.path.join(work, "tree")
    os.makedirs(os.path.join(tree, "sub"))
    for i in range(3):
        with open(os.path.join(tree, "sub", "f%d.txt" % i), "wb") as f:
            f.write(b"line %d\n" % i * (2000 * (i + 1)))
    for method in ("deflate", "store"):
        path = os.path.join(work, method + ".ach")
        subprocess.run([voxpack, "create", path, tree, "-m", method], check=True)
        sources.append(path)

    if seeds:
        os.makedirs(seeds, exist_ok=True)
        for s_index, source in enumerate(sources):
            for c_index, (_, damaged) in enumerate(cases(open(source, "rb").read())):
                with open(os.path.join(seeds, "damaged-%d-%03d.ach" % (s_index, c_index)), "wb") as f:
                    f.write(damaged)
        subprocess.run(["rm", "-rf", work])
        return 0

    failures, count, started = [], 0, time.monotonic()
    for source in sources:
        data = open(source, "rb").read()
        intact = os.path.join(work, "intact")
        subprocess.run(["rm", "-rf", intact])
        run(voxpack, ["extract", source, "-o", intact], 60)
        for name, damaged in cases(data):
            if time.monotonic() - started > budget:
                break
            count += 1
            path = os.path.join(work, "case.ach")
            out = os.path.join(work, "out")
            subprocess.run(["rm", "-rf", out])
            with open(path, "wb") as f:
                f.write(damaged)
            tested, test_err = run(voxpack, ["test", path], 30)
            extracted, extract_err = run(voxpack, ["extract", path, "-o", out], 30)
            what = "%s, %s" % (os.path.basename(source), name)
            for code, err, command in ((tested, test_err, "test"), (extracted, extract_err, "extract")):
                if code is None or code < 0 or code >= 128 or "Sanitizer" in err or "runtime error" in err:
                    failures.append("%s: %s crashed or hung (%s): %s" % (what, command, code, err[-300:]))
            if tested is None or extracted is None:
                continue
            if (tested == 0) != (extracted == 0):
                failures.append("%s: test exits %d, extract %d" % (what, tested, extracted))
            elif tested == 0 and not same_tree(intact, out):
                failures.append("%s: passed, but the files differ from the intact archive's" % what)
    subprocess.run(["rm", "-rf", work])
    for line in failures:
        print("FAILED:", line)
    print("%d damaged archives, %d failures, %.0f s" % (count, len(failures), time.monotonic() - started))
    return 1 if failures else 0


sys.exit(main())
