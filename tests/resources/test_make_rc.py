#!/usr/bin/env python3
"""Tests of make_rc.py: its output is compiled with windres and the .res read back.

    tests/resources/test_make_rc.py --windres WINDRES --lang-dir resources/lang [unittest options]

What windres stores is what the stub will load, so the checks are made on the
compiled resources: exact texts after rc escaping and the UTF-8 code page,
the language of every table and dialog, the English fallback of dialog texts,
the layout and styles of the dialogs in every language file present, and the
generator's handling of broken input and of unchanged output.
"""

import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_RC = os.path.join(HERE, "..", "..", "resources", "make_rc.py")
WINDRES = None
LANG_DIR = None

RT_STRING = 6
RT_DIALOG = 5

WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_DISABLED = 0x08000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_GROUP = 0x00020000
WS_TABSTOP = 0x00010000
DS_MODALFRAME = 0x80
DS_SETFONT = 0x40
DS_CENTER = 0x800
BS_TYPEMASK = 0xF
BS_DEFPUSHBUTTON = 1
SS_TYPEMASK = 0x1F
SS_LEFT = 0
SS_LEFTNOWORDWRAP = 0xC
SS_CENTERIMAGE = 0x200
SS_SUNKEN = 0x1000
ES_AUTOHSCROLL = 0x80

CLASS_ORDINALS = {0x80: "button", 0x81: "edit", 0x82: "static"}

# id -> (class, x, y, w, h) of every control, in tab order.
PAGE_COMMON = [
    (1300, "static", 4, 174, 327, 1),
    (2001, "button", 150, 186, 50, 14),
    (2000, "button", 201, 186, 50, 14),
    (2, "button", 261, 186, 50, 14),
]
LAYOUT = {
    1000: {
        "size": (331, 207),
        "controls": [
            (1004, "static", 22, 71, 289, 39),
            (1002, "static", 22, 117, 289, 16),
            (1001, "msctls_progress32", 22, 137, 289, 12),
        ]
        + PAGE_COMMON,
    },
    1100: {
        "size": (331, 207),
        "controls": [
            (1103, "static", 22, 75, 289, 39),
            (1102, "static", 22, 112, 289, 12),
            (1101, "edit", 22, 129, 289, 14),
            (1104, "button", 261, 148, 50, 14),
        ]
        + PAGE_COMMON,
    },
    1200: {
        "size": (322, 119),
        "controls": [
            (1201, "static", 7, 7, 308, 54),
            (1202, "static", 7, 68, 308, 24),
            (2002, "button", 7, 97, 57, 14),
            (2003, "button", 69, 97, 57, 14),
            (2004, "button", 131, 97, 57, 14),
            (2005, "button", 193, 97, 57, 14),
            (2, "button", 258, 97, 57, 14),
        ],
    },
}
# Control texts that are string table entries of the same language.
TEXT_FROM_STRING = {
    1000: {1004: 152, 2: 302},
    1100: {1103: 162, 2: 302},
    1200: {1201: 512, 1202: 514, 2002: 304, 2003: 305, 2004: 306, 2005: 307, 2: 302},
}
CAPTION_FROM_STRING = {1200: 511}


# ---------------------------------------------------------------------------
# Reading a .res file.


class Reader:
    def __init__(self, data, at=0):
        self.data = data
        self.at = at

    def u8(self):
        self.at += 1
        return self.data[self.at - 1]

    def u16(self):
        self.at += 2
        return struct.unpack_from("<H", self.data, self.at - 2)[0]

    def i16(self):
        self.at += 2
        return struct.unpack_from("<h", self.data, self.at - 2)[0]

    def u32(self):
        self.at += 4
        return struct.unpack_from("<I", self.data, self.at - 4)[0]

    def text(self):
        """A zero-ended UTF-16 text."""
        end = self.at
        while struct.unpack_from("<H", self.data, end)[0]:
            end += 2
        value = self.data[self.at : end].decode("utf-16-le")
        self.at = end + 2
        return value

    def name(self):
        """An ordinal (0xFFFF then a number) or a text."""
        if struct.unpack_from("<H", self.data, self.at)[0] == 0xFFFF:
            self.at += 2
            return self.u16()
        return self.text()

    def align(self, n=4):
        self.at = (self.at + n - 1) // n * n


def read_res(path):
    """{(type, name, language): data} of a .res file."""
    with open(path, "rb") as f:
        data = f.read()
    out = {}
    at = 0
    while at + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, at)
        r = Reader(data, at + 8)
        rtype = r.name()
        rname = r.name()
        r.align()
        r.u32()  # data version
        r.u16()  # memory flags
        language = r.u16()
        if size or rtype != 0:
            out[(rtype, rname, language)] = data[at + header : at + header + size]
        at = (at + header + size + 3) // 4 * 4
    return out


def string_tables(resources):
    """{language: {id: text}} of every string table."""
    tables = {}
    for (rtype, block, language), data in resources.items():
        if rtype != RT_STRING:
            continue
        r = Reader(data)
        for i in range(16):
            length = r.u16()
            if length:
                text = data[r.at : r.at + 2 * length].decode("utf-16-le")
                tables.setdefault(language, {})[(block - 1) * 16 + i] = text
            r.at += 2 * length
    return tables


def read_dialog(data):
    r = Reader(data)
    version, signature = r.u16(), r.u16()
    assert (version, signature) == (1, 0xFFFF), "not a DIALOGEX template"
    r.u32()  # help id
    ex_style, style, count = r.u32(), r.u32(), r.u16()
    box = (r.i16(), r.i16(), r.i16(), r.i16())
    dialog = {"style": style, "ex_style": ex_style, "box": box}
    dialog["menu"] = r.name()
    dialog["class"] = r.name()
    dialog["caption"] = r.text()
    if style & DS_SETFONT:
        dialog["font_size"] = r.u16()
        r.u16()  # weight
        r.u8()  # italic
        dialog["charset"] = r.u8()
        dialog["font"] = r.text()
    controls = []
    for _ in range(count):
        r.align()
        r.u32()  # help id
        c_ex_style, c_style = r.u32(), r.u32()
        c_box = (r.i16(), r.i16(), r.i16(), r.i16())
        cid = r.u32()
        cls = r.name()
        cls = CLASS_ORDINALS.get(cls, cls) if isinstance(cls, int) else cls.lower()
        title = r.name()
        extra = r.u16()
        r.at += extra
        controls.append({"id": cid, "class": cls, "style": c_style, "box": c_box, "text": title})
    dialog["controls"] = controls
    return dialog


def dialogs_of(resources):
    """{language: {dialog id: dialog}}."""
    out = {}
    for (rtype, name, language), data in resources.items():
        if rtype == RT_DIALOG:
            out.setdefault(language, {})[name] = read_dialog(data)
    return out


# ---------------------------------------------------------------------------


def run_make_rc(lang_dir, out_dir):
    return subprocess.run(
        [sys.executable, MAKE_RC, "--lang-dir", lang_dir, "--out-dir", out_dir],
        capture_output=True,
        text=True,
    )


def compile_res(out_dir):
    """Compiles the generated .rc files as the build does and reads the result."""
    wrapper = os.path.join(out_dir, "all.rc")
    with open(wrapper, "w") as f:
        f.write('#include <windows.h>\n#include "strings.rc"\n#include "dialogs.rc"\n')
    res = os.path.join(out_dir, "all.res")
    done = subprocess.run(
        [WINDRES, "-I", out_dir, "-O", "res", wrapper, res], capture_output=True, text=True
    )
    if done.returncode != 0:
        raise AssertionError("windres failed:\n" + done.stderr)
    return read_res(res)


def write_lang(folder, name, content):
    with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
        json.dump(content, f, ensure_ascii=False, indent=1)


# Every text the dialogs read, so that a minimal language file is complete.
def english_base():
    texts = {
        "_language": "English (United States)",
        "_lcids": [1033],
        "152": "Please wait while $(AppName.Title) is extracted.",
        "162": "The files will be saved in the folder below.",
        "302": "&Cancel",
        "304": "&Yes",
        "305": "Y&es to All",
        "306": "&No",
        "307": "N&o to All",
        "511": "File Exists",
        "512": "The following file is already on your computer:\n\n%s",
        "514": "Do you wish to overwrite this file?",
        "dialog.1100.caption": "Select destination...",
        "dialog.1100.1102": "&Save files in folder:",
        "dialog.1100.1104": "C&hange...",
        "dialog.1000.caption": "Extracting Files...",
        "dialog.1000.1002": "Status:",
        "dialog.all.2001": "< &Back",
        "dialog.all.2000": "&Next >",
    }
    return texts


# Texts that rc escaping, the preprocessor or the code page could spoil.
AWKWARD = {
    "209": '-r "$(Stowage)" --vox',
    "210": '"',
    "211": 'say ""twice""',
    "212": "C:\\Program Files\\Sample\\",
    "213": "\\n is not a new line, \\\\ is two",
    "214": "line one\nline two\n\n\ttabbed\r\nend",
    "215": "// not a comment /* nor this */ # nor this",
    "216": "l'installation, «guillemets», „Anführung“ – …",
    "217": "日本語のテキスト、繁體中文、简体中文、Русский текст",
    "218": "astral: \U0001F600 \U00020000",
    "219": "%s %d %08X %% $(AppName)",
    "220": "??= ??/ ??' trigraphs stay as written",
    "65535": "the last possible id",
    "0": "id zero",
}


class GeneratedTexts(unittest.TestCase):
    """Texts of a made-up language set, compiled and read back."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="make_rc_test_")
        cls.lang = os.path.join(cls.work, "lang")
        cls.out = os.path.join(cls.work, "out")
        os.mkdir(cls.lang)
        cls.english = dict(english_base(), **AWKWARD)
        write_lang(cls.lang, "en.json", cls.english)
        # Spanish serves two LCIDs; it lacks 210 and 218, a dialog text and
        # a string a dialog uses, and brings its own font.
        cls.spanish = {
            "_language": "Spanish",
            "_lcids": [1034, 3082],
            "_dialog_font": [9, "Tahoma"],
        }
        for key, value in cls.english.items():
            if key.startswith("_") or key in ("210", "218", "305", "dialog.1100.1104"):
                continue
            cls.spanish[key] = "ES " + value
        write_lang(cls.lang, "es.json", cls.spanish)
        cls.japanese = {"_language": "Japanese", "_lcids": [1041]}
        for key, value in cls.english.items():
            if not key.startswith("_"):
                cls.japanese[key] = "日本 " + value
        write_lang(cls.lang, "ja.json", cls.japanese)
        cls.done = run_make_rc(cls.lang, cls.out)
        cls.res = compile_res(cls.out) if cls.done.returncode == 0 else {}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_missing_texts_warn_but_succeed(self):
        self.assertEqual(self.done.returncode, 0, self.done.stderr)
        warnings = [l for l in self.done.stderr.splitlines() if "es.json" in l]
        self.assertTrue(any("210" in l and "218" in l and "305" in l for l in warnings), self.done.stderr)
        self.assertTrue(any("1104" in l for l in warnings), self.done.stderr)
        self.assertNotIn("ja.json", self.done.stderr)

    def expected_strings(self, source):
        return {int(k): v for k, v in source.items() if not k.startswith("_") and not k.startswith("dialog.")}

    def test_every_text_comes_back_exactly(self):
        tables = string_tables(self.res)
        self.assertEqual(sorted(tables), [1033, 1034, 1041, 3082])
        self.assertEqual(tables[1033], self.expected_strings(self.english))
        self.assertEqual(tables[1041], self.expected_strings(self.japanese))
        # Both Spanish LCIDs carry the Spanish texts and nothing borrowed:
        # a missing text stays missing, so the loader's own fallback applies.
        for lcid in (1034, 3082):
            self.assertEqual(tables[lcid], self.expected_strings(self.spanish))
            self.assertNotIn(210, tables[lcid])

    def test_dialogs_use_the_language_and_fall_back_to_english(self):
        dialogs = dialogs_of(self.res)
        self.assertEqual(sorted(dialogs), [1033, 1034, 1041, 3082])
        for lcid in (1034, 3082):
            page = dialogs[lcid][1100]
            self.assertEqual(page["caption"], "ES Select destination...")
            texts = {c["id"]: c["text"] for c in page["controls"]}
            self.assertEqual(texts[1102], "ES &Save files in folder:")
            self.assertEqual(texts[1104], "C&hange...")  # English: Spanish lacks it
            self.assertEqual(texts[2], "ES &Cancel")
            self.assertEqual(texts[1103], "ES The files will be saved in the folder below.")
            exists = {c["id"]: c["text"] for c in dialogs[lcid][1200]["controls"]}
            self.assertEqual(exists[2003], "Y&es to All")  # English: Spanish lacks 305
            self.assertEqual(exists[1201], "ES " + self.english["512"])
            self.assertEqual(dialogs[lcid][1200]["caption"], "ES File Exists")
            self.assertEqual((dialogs[lcid][1000]["font_size"], dialogs[lcid][1000]["font"]), (9, "Tahoma"))
        for dialog in dialogs[1041].values():
            self.assertEqual((dialog["font_size"], dialog["font"]), (8, "MS Sans Serif"))
        self.assertEqual(dialogs[1041][1000]["caption"], "日本 Extracting Files...")

    def test_header_lists_ids_and_languages(self):
        with open(os.path.join(self.out, "string_ids.h"), encoding="utf-8") as f:
            header = f.read()

        def array(name):
            m = re.search(r"\b" + name + r"\[\] = \{([^}]*)\};", header)
            self.assertIsNotNone(m, name)
            return [int(v) for v in m.group(1).split(",") if v.strip()]

        self.assertEqual(array("kVoxStringIds"), sorted(self.expected_strings(self.english)))
        self.assertEqual(array("kVoxLanguageIds"), [1033, 1034, 1041, 3082])
        self.assertEqual(array("kVoxDialogIds"), [1000, 1100, 1200])
        for dialog, layout in LAYOUT.items():
            self.assertEqual(array(f"kVoxDialog{dialog}Controls"), [c[0] for c in layout["controls"]])
        compiler = shutil.which("c++") or shutil.which("g++")
        if compiler:
            source = os.path.join(self.work, "uses_header.cpp")
            with open(source, "w") as f:
                f.write('#include "string_ids.h"\nint main() { return sizeof(kVoxStringIds) ? 0 : 1; }\n')
            done = subprocess.run(
                [compiler, "-std=c++17", "-Wall", "-Werror", "-fsyntax-only", "-I", self.out, source],
                capture_output=True,
                text=True,
            )
            self.assertEqual(done.returncode, 0, done.stderr)


class Layout(unittest.TestCase):
    """The dialogs of the real language files, as windres builds them."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="make_rc_layout_")
        cls.done = run_make_rc(LANG_DIR, cls.work)
        if cls.done.returncode != 0:
            raise AssertionError("make_rc.py failed:\n" + cls.done.stderr)
        cls.res = compile_res(cls.work)
        cls.dialogs = dialogs_of(cls.res)
        cls.tables = string_tables(cls.res)
        cls.fonts = {}
        for name in sorted(os.listdir(LANG_DIR)):
            if name.endswith(".json"):
                with open(os.path.join(LANG_DIR, name), encoding="utf-8-sig") as f:
                    data = json.load(f)
                for lcid in data["_lcids"]:
                    cls.fonts[lcid] = tuple(data.get("_dialog_font", (8, "MS Sans Serif")))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_every_language_has_every_dialog(self):
        self.assertEqual(sorted(self.dialogs), sorted(self.fonts))
        self.assertEqual(sorted(self.tables), sorted(self.fonts))
        for lcid, dialogs in self.dialogs.items():
            self.assertEqual(sorted(dialogs), [1000, 1100, 1200], lcid)

    def test_layout_and_styles(self):
        for lcid, dialogs in self.dialogs.items():
            for dialog_id, layout in LAYOUT.items():
                with self.subTest(lcid=lcid, dialog=dialog_id):
                    d = dialogs[dialog_id]
                    self.assertEqual(d["box"], (0, 0) + layout["size"])
                    self.assertEqual((d["font_size"], d["font"]), self.fonts[lcid])
                    base = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION
                    # The pages show themselves; "File Exists" is shown by its
                    # owner once filled, and neither is centred by the template.
                    self.assertEqual(d["style"], base | (0 if dialog_id == 1200 else WS_VISIBLE))
                    self.assertTrue(d["caption"].strip())
                    got = [(c["id"], c["class"]) + c["box"] for c in d["controls"]]
                    self.assertEqual(got, layout["controls"])
                    for c in d["controls"]:
                        self.assertEqual(c["style"] & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE)
                        if c["class"] in ("button", "edit"):
                            self.assertTrue(c["style"] & WS_TABSTOP, c["id"])
                        if c["class"] == "button":
                            self.assertTrue(c["text"].strip(), c["id"])
                    defaults = [
                        c["id"]
                        for c in d["controls"]
                        if c["class"] == "button" and c["style"] & BS_TYPEMASK == BS_DEFPUSHBUTTON
                    ]
                    self.assertEqual(defaults, [2000] if dialog_id == 1100 else [])

    def test_control_details(self):
        for lcid, dialogs in self.dialogs.items():
            with self.subTest(lcid=lcid):
                page = {c["id"]: c for c in dialogs[1100]["controls"]}
                self.assertEqual(page[1101]["style"] & (ES_AUTOHSCROLL | WS_BORDER), ES_AUTOHSCROLL | WS_BORDER)
                self.assertEqual(page[1102]["style"] & SS_TYPEMASK, SS_LEFTNOWORDWRAP)
                self.assertTrue(page[1102]["style"] & SS_CENTERIMAGE)
                self.assertEqual(page[1103]["style"] & SS_TYPEMASK, SS_LEFT)
                self.assertTrue(page[1300]["style"] & SS_SUNKEN)
                self.assertTrue(page[2001]["style"] & WS_DISABLED)
                self.assertFalse(page[2000]["style"] & WS_DISABLED)
                progress = {c["id"]: c for c in dialogs[1000]["controls"]}
                self.assertTrue(progress[2001]["style"] & WS_DISABLED)
                self.assertTrue(progress[2000]["style"] & WS_DISABLED)
                self.assertFalse(progress[2]["style"] & WS_DISABLED)
                self.assertTrue(progress[1001]["style"] & WS_BORDER)
                self.assertEqual(progress[1002]["style"] & SS_TYPEMASK, SS_LEFTNOWORDWRAP)

    def test_texts_match_the_same_language(self):
        english = self.tables[1033]
        for lcid, dialogs in self.dialogs.items():
            table = self.tables[lcid]
            for dialog_id, mapping in TEXT_FROM_STRING.items():
                with self.subTest(lcid=lcid, dialog=dialog_id):
                    texts = {c["id"]: c["text"] for c in dialogs[dialog_id]["controls"]}
                    for control, string_id in mapping.items():
                        self.assertEqual(texts[control], table.get(string_id, english.get(string_id)))
                    if dialog_id in CAPTION_FROM_STRING:
                        string_id = CAPTION_FROM_STRING[dialog_id]
                        self.assertEqual(dialogs[dialog_id]["caption"], table.get(string_id, english[string_id]))


class BadInput(unittest.TestCase):
    """Broken language files stop the build with a message, not a traceback."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="make_rc_bad_")
        self.lang = os.path.join(self.work, "lang")
        self.out = os.path.join(self.work, "out")
        os.mkdir(self.lang)
        write_lang(self.lang, "en.json", english_base())

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def assertRefused(self, needle):
        done = run_make_rc(self.lang, self.out)
        self.assertNotEqual(done.returncode, 0)
        self.assertNotIn("Traceback", done.stderr)
        self.assertIn(needle, done.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.out, "strings.rc")))

    def test_broken_json(self):
        with open(os.path.join(self.lang, "de.json"), "w") as f:
            f.write('{"_language": "German", "_lcids": [1031], "302": "Abbrechen",')
        self.assertRefused("de.json")

    def test_one_lcid_in_two_files(self):
        write_lang(self.lang, "en-GB.json", dict(english_base(), _lcids=[2057, 1033]))
        self.assertRefused("1033")

    def test_bad_lcids(self):
        for lcids in ([], [0], [1024], [0x10409], ["1033"], [True], 1033, [1031, 1031]):
            with self.subTest(lcids=lcids):
                write_lang(self.lang, "de.json", {"_language": "German", "_lcids": lcids})
                self.assertRefused("de.json")

    def test_text_that_is_not_a_text(self):
        write_lang(self.lang, "de.json", {"_language": "German", "_lcids": [1031], "302": 5})
        self.assertRefused("302")

    def test_control_character(self):
        write_lang(self.lang, "de.json", {"_language": "German", "_lcids": [1031], "302": "a\x01b"})
        self.assertRefused("302")

    def test_string_id_out_of_range(self):
        write_lang(self.lang, "de.json", {"_language": "German", "_lcids": [1031], "65536": "x"})
        self.assertRefused("65536")

    def test_bad_font(self):
        for font in ([9], ["9", "Tahoma"], [0, "Tahoma"], [9, ""], "Tahoma"):
            with self.subTest(font=font):
                write_lang(self.lang, "de.json", {"_language": "German", "_lcids": [1031], "_dialog_font": font})
                self.assertRefused("_dialog_font")

    def test_no_english(self):
        os.remove(os.path.join(self.lang, "en.json"))
        write_lang(self.lang, "de.json", {"_language": "German", "_lcids": [1031]})
        self.assertRefused("en.json")


class Rewriting(unittest.TestCase):
    """Unchanged output keeps its time stamp, so nothing is recompiled."""

    def test_only_changed_files_are_written(self):
        work = tempfile.mkdtemp(prefix="make_rc_rewrite_")
        try:
            lang, out = os.path.join(work, "lang"), os.path.join(work, "out")
            os.mkdir(lang)
            texts = english_base()
            texts["600"] = "help"
            write_lang(lang, "en.json", texts)
            self.assertEqual(run_make_rc(lang, out).returncode, 0)
            names = ["strings.rc", "dialogs.rc", "string_ids.h"]
            old = 1_000_000_000
            for name in names:
                os.utime(os.path.join(out, name), (old, old))
            self.assertEqual(run_make_rc(lang, out).returncode, 0)
            for name in names:
                self.assertEqual(os.stat(os.path.join(out, name)).st_mtime, old, name)
            # A text no dialog shows changes the string table only.
            texts["600"] = "more help"
            write_lang(lang, "en.json", texts)
            self.assertEqual(run_make_rc(lang, out).returncode, 0)
            self.assertNotEqual(os.stat(os.path.join(out, "strings.rc")).st_mtime, old)
            self.assertEqual(os.stat(os.path.join(out, "dialogs.rc")).st_mtime, old)
            self.assertEqual(os.stat(os.path.join(out, "string_ids.h")).st_mtime, old)
            self.assertEqual(sorted(os.listdir(out)), sorted(names))
        finally:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--windres", required=True)
    parser.add_argument("--lang-dir", required=True)
    args, rest = parser.parse_known_args()
    WINDRES = args.windres
    LANG_DIR = args.lang_dir
    unittest.main(argv=[sys.argv[0]] + rest)
