#!/usr/bin/env python3
"""Writes the export list (.def) of voxstub.exe.

The stub exports the toolkit's functions under their plain names (an alias
of each C++ symbol), the operations of the CArchive2 and CLog classes under
their C++ names, and its own two deletion functions with the standard
calling convention.

    make_exports.py --nm NM --cxxfilt CXXFILT --arch i686|x86_64 --out FILE LIBRARY...

The decorations differ by target: i686 symbols carry one extra leading
underscore and __stdcall names end in @N (the size of the arguments); x86_64
has one calling convention and decorates neither.
"""
import argparse
import re
import subprocess
import sys

# The stub's own __stdcall functions and the size of their arguments on i686.
OWN_EXPORTS = [("Vox_VoDeleteFiles", 12), ("Vox_VoDeleteDirectoryTree", 8)]
# Classes whose operations are exported under their class-qualified names.
CLASS_EXPORTS = ("CArchive2::", "CLog::")
PLAIN_NAME = re.compile(r"^(Vo[A-Za-z0-9_]+)\(")


def defined_functions(nm, library):
    output = subprocess.run([nm, "-g", "--defined-only", library], check=True, capture_output=True, text=True).stdout
    for line in output.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] == "T":
            yield parts[2]


def demangle(cxxfilt, symbols):
    if not symbols:
        return []
    result = subprocess.run([cxxfilt], input="\n".join(symbols), check=True, capture_output=True, text=True)
    return result.stdout.splitlines()


def own_exports(arch):
    if arch == "i686":
        return [f"{name}={name}@{size}" for name, size in OWN_EXPORTS]
    return [name for name, _ in OWN_EXPORTS]


def exports(nm, cxxfilt, arch, libraries):
    symbols = sorted({s for lib in libraries for s in defined_functions(nm, lib)})
    lines, plain = [], set()
    for raw, readable in zip(symbols, demangle(cxxfilt, symbols)):
        # i686 symbols carry one leading underscore that .def files omit.
        symbol = raw[1:] if arch == "i686" and raw.startswith("_") else raw
        if readable.startswith(CLASS_EXPORTS):
            lines.append(symbol)
            continue
        match = PLAIN_NAME.match(readable)
        # An overloaded name is exported once, by its first form.
        if match and match.group(1) not in plain:
            plain.add(match.group(1))
            lines.append(f"{match.group(1)}={symbol}")
    return own_exports(arch) + sorted(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--nm", required=True)
    parser.add_argument("--cxxfilt", required=True)
    parser.add_argument("--arch", required=True, choices=["i686", "x86_64"])
    parser.add_argument("--out", required=True)
    parser.add_argument("libraries", nargs="+")
    args = parser.parse_args()
    text = "EXPORTS\n" + "".join(f"    {line}\n" for line in exports(args.nm, args.cxxfilt, args.arch, args.libraries))
    try:
        with open(args.out, encoding="utf-8") as f:
            if f.read() == text:
                return 0
    except OSError:
        pass
    with open(args.out, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
