#!/usr/bin/env python3
"""Writes a deterministic, package-like corpus: about 2000 files and 100 MB in
nested folders: source-like text, compressible binaries (structured records)
and incompressible data (seeded pseudo-random bytes), with a few large files.
With --small, COUNT small files instead (0.2-2.8 KB of text or records, 200
to a folder), the shape of a source tree or an icon set.

usage: make_corpus.py FOLDER [MEGABYTES]
       make_corpus.py --small FOLDER COUNT [SEED]
"""
import os
import random
import sys

WORDS = ("install package folder window dialog archive entry value setting option file "
         "progress extract compress stream buffer header record volume stub launch").split()


def text_file(rng, size):
    lines = []
    total = 0
    while total < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(3, 12)))
        line = "    " * rng.randint(0, 3) + line + ";\n"
        lines.append(line)
        total += len(line)
    return "".join(lines).encode()[:size]


def record_file(rng, size):
    out = bytearray()
    n = 0
    while len(out) < size:
        out += n.to_bytes(4, "little") + bytes([rng.randint(0, 3)] * 12) + b"RECORD\0\0"
        n += 1
    return bytes(out[:size])


def random_file(rng, size):
    return rng.getrandbits(8 * size).to_bytes(size, "little") if size else b""


def write(root, files, rng):
    makers = {"text": text_file, "record": record_file, "random": random_file}
    for name, kind, size in files:
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(makers[kind](rng, size))


def small(root, count, seed):
    rng = random.Random(seed)
    files = []
    for i in range(count):
        kind = rng.choices(["text", "record"], [3, 1])[0]
        files.append((f"d{i // 200:03d}/f{i:05d}.{'txt' if kind == 'text' else 'dat'}", kind, rng.randint(200, 2800)))
    write(root, files, rng)
    print(f"{count} small files in {root}")


def main():
    if sys.argv[1] == "--small":
        small(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) > 4 else 20261210)
        return
    root = sys.argv[1]
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    rng = random.Random(20261208)
    budget = megabytes << 20
    files = []
    # A few large files carry much of the size, as in real packages.
    files.append(("data/media/intro.bin", "random", 20 << 20))
    files.append(("data/media/database.dat", "record", 15 << 20))
    files.append(("bin/app.exe", "record", 6 << 20))
    used = sum(f[2] for f in files)
    i = 0
    while used < budget and i < 1990:
        kind = rng.choices(["text", "record", "random"], [5, 3, 2])[0]
        size = min(int(rng.expovariate(1 / 30000)) + 10, budget - used)
        folder = "/".join(rng.choice(["src", "lib", "res", "docs", "plugins", "locale"]) +
                          str(rng.randint(0, 9)) for _ in range(rng.randint(1, 4)))
        files.append((f"{folder}/file{i:04d}.{ {'text': 'txt', 'record': 'dat', 'random': 'bin'}[kind] }", kind, size))
        used += size
        i += 1
    # Whatever is left goes to one more random file.
    if used < budget:
        files.append(("data/rest.bin", "random", budget - used))
    write(root, files, rng)
    print(f"{len(files)} files, {used >> 20} MiB in {root}")


main()
