#!/usr/bin/env python3
"""Checks the export table of voxstub.exe: the deletion functions under
their exact names, the toolkit under plain names, the engine's and the
log's operations."""
import sys

import pefile

REQUIRED = [
    "Vox_VoDeleteFiles", "Vox_VoDeleteDirectoryTree", "VoPrintF", "VoLoadString", "VoGetString",
    "VoMessageBox", "VoMsgBoxSetAppData", "VoKernel_Startup", "VoLang_Open", "VoLoadPngDib",
    "VoWndCenter", "VoSelectDirectoryDlgEx2", "VoCreateDirectory", "VoList_CreateExZ",
]


def main(path):
    image = pefile.PE(path, fast_load=True)
    image.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_EXPORT"]])
    names = {e.name.decode() for e in image.DIRECTORY_ENTRY_EXPORT.symbols if e.name}
    missing = [n for n in REQUIRED if n not in names]
    decorated = [n for n in names if "@" in n]
    engine = [n for n in names if "CArchive2" in n and "Open" in n]
    log = [n for n in names if "CLog" in n and "Init" in n]
    for problem, items in (("missing", missing), ("decorated", decorated)):
        if items:
            print(f"{path}: {problem} exports: {', '.join(sorted(items))}")
    if not engine:
        print(f"{path}: no CArchive2 Open export")
    if not log:
        print(f"{path}: no CLog Init export")
    ok = not missing and not decorated and engine and log
    print(f"{len(names)} exports checked" if ok else "export check failed")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
