"""Reads a package's resources back with pefile and compares them with what
was asked for and with its stub.

    check_package_identity.py PACKAGE STUB ICON|- 'Key=Value' ... [--fixed a.b.c.d a.b.c.d]

Checks: the first icon group lists the .ico's images (sizes, bit counts,
the images' bytes) and nothing else of the icon types is left over; the
version resource holds exactly the given StringFileInfo values and the
fixed file and product versions; every other resource (type, name,
language, bytes) equals the stub's; the header fields that follow from the
layout agree (checksum of the stub part, image size, no certificate
table). Prints one line per failure; exits 1 on any.
"""
import struct
import sys

import pefile

failures = []


def fail(text):
    failures.append(text)
    print("FAILED: " + text)


def resources(pe):
    """(type, name, language) -> bytes, in directory order."""
    found = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for n in t.directory.entries:
            for lang in n.directory.entries:
                key = (t.id if t.name is None else str(t.name), n.id if n.name is None else str(n.name), lang.id)
                d = lang.data.struct
                found[key] = pe.get_data(d.OffsetToData, d.Size)
    return found


def read_ico(path):
    data = open(path, "rb").read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    images = []
    for i in range(count):
        w, h, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        images.append((w, h, bits, data[offset:offset + size]))
    return images


def main():
    args = sys.argv[1:]
    fixed = None
    if "--fixed" in args:
        at = args.index("--fixed")
        fixed = args[at + 1:at + 3]
        args = args[:at]
    package, stub, icon = args[0], args[1], args[2]
    wanted = dict(a.split("=", 1) for a in args[3:])
    pe = pefile.PE(package)
    base = pefile.PE(stub)
    got, before = resources(pe), resources(base)

    # Every other resource as the stub has it.
    others = lambda res: {k: v for k, v in res.items() if k[0] not in (3, 14, 16)}
    if others(got) != others(before):
        fail("the other resources differ from the stub's: %s" %
             sorted(set(others(got).items()) ^ set(others(before).items()), key=str)[:3])
    if not others(before):
        fail("the stub has no other resources to compare")

    # The icon.
    groups = [k for k in got if k[0] == 14]
    if icon != "-":
        images = read_ico(icon)
        if not groups:
            fail("no icon group")
        else:
            group = got[groups[0]]
            count = struct.unpack_from("<H", group, 4)[0]
            if count != len(images):
                fail("the group lists %d images, the .ico has %d" % (count, len(images)))
            icons = {k[1]: v for k, v in got.items() if k[0] == 3}
            for i in range(min(count, len(images))):
                w, h, colours, _, planes, bits, size, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
                iw, ih, ibits, data = images[i]
                if (w, h, bits, size) != (iw, ih, ibits, len(data)):
                    fail("group entry %d is %r, the .ico's %r" % (i, (w, h, bits, size), (iw, ih, ibits, len(data))))
                if icons.get(ident) != data:
                    fail("icon %d (entry %d) is not the .ico's image" % (ident, i))
            referenced = set()
            for k in groups:
                g = got[k]
                for i in range(struct.unpack_from("<H", g, 4)[0]):
                    referenced.add(struct.unpack_from("<H", g, 6 + 14 * i + 12)[0])
            if set(icons) != referenced:
                fail("icon images %s are not those the groups list, %s" % (sorted(icons), sorted(referenced)))
    elif [k for k in got if k[0] in (3, 14)] != [k for k in before if k[0] in (3, 14)]:
        fail("the icons changed though no icon was given")

    # The version resource.
    versions = [k for k in got if k[0] == 16]
    if len(versions) != 1:
        fail("%d version resources" % len(versions))
    values = {}
    for info in getattr(pe, "FileInfo", [[]])[0] if hasattr(pe, "FileInfo") else []:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                values = {k.decode("utf-8"): v.decode("utf-8") for k, v in table.entries.items()}
    if values != wanted:
        fail("StringFileInfo holds %r, wanted %r" % (values, wanted))
    if fixed:
        def split(text):
            p = [int(x) for x in text.split(".")] + [0, 0, 0]
            return (p[0] << 16 | p[1], p[2] << 16 | p[3])
        ffi = pe.VS_FIXEDFILEINFO[0]
        if (ffi.FileVersionMS, ffi.FileVersionLS) != split(fixed[0]):
            fail("fixed file version %08x %08x, wanted %s" % (ffi.FileVersionMS, ffi.FileVersionLS, fixed[0]))
        if (ffi.ProductVersionMS, ffi.ProductVersionLS) != split(fixed[1]):
            fail("fixed product version %08x %08x, wanted %s" % (ffi.ProductVersionMS, ffi.ProductVersionLS, fixed[1]))

    # The headers: the image ends where its last section does, the checksum
    # is that of the stub part, no certificate table.
    last = max(pe.sections, key=lambda s: s.VirtualAddress)
    align = pe.OPTIONAL_HEADER.SectionAlignment
    end = (last.VirtualAddress + max(last.Misc_VirtualSize, 1) + align - 1) // align * align
    if pe.OPTIONAL_HEADER.SizeOfImage != end:
        fail("SizeOfImage %x, the sections end at %x" % (pe.OPTIONAL_HEADER.SizeOfImage, end))
    rsrc = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
    sec = [s for s in pe.sections if s.VirtualAddress == rsrc.VirtualAddress]
    if not sec or sec[0].Misc_VirtualSize != rsrc.Size:
        fail("the resource directory does not match its section")
    stub_end = max(s.PointerToRawData + s.SizeOfRawData for s in pe.sections)
    stub_part = pefile.PE(data=pe.__data__[:stub_end])
    if not stub_part.verify_checksum():
        fail("the checksum of the stub part is wrong")
    if pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size:
        fail("a certificate table is present")
    for s, b in zip(pe.sections, base.sections):
        if s.Name != b.Name:
            fail("the sections are %r, the stub's %r" % ([x.Name for x in pe.sections], [x.Name for x in base.sections]))
            break
    for w in pe.get_warnings():
        fail("pefile: " + w)
    sys.exit(1 if failures else 0)


main()
