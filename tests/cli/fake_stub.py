#!/usr/bin/env python3
"""A stand-in for voxstub.exe in the native tests: a PE header of the given
machine (14C x86, 8664 x64) and the name of the stub's own export, padded.
    fake_stub.py OUT [MACHINE] [PADDING]"""
import struct
import sys

out = sys.argv[1]
machine = int(sys.argv[2], 16) if len(sys.argv) > 2 else 0x14C
padding = int(sys.argv[3]) if len(sys.argv) > 3 else 0
header = bytearray(128)
header[:2] = b"MZ"
header[60:64] = struct.pack("<I", 64)
header[64:70] = b"PE\0\0" + struct.pack("<H", machine)
with open(out, "wb") as f:
    f.write(bytes(header) + b"Vox_VoDeleteDirectoryTree\0" + bytes(padding))
