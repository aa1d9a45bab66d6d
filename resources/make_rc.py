#!/usr/bin/env python3
"""Writes the stub's string tables, dialogs and id header from resources/lang/*.json.

    make_rc.py --lang-dir DIR --out-dir OUT

Every language file holds "_language" (its English name), "_lcids" (the LCIDs
it serves), decimal string ids mapped to texts, "dialog.<id>.<control>" and
"dialog.all.<control>" texts, and optionally "_dialog_font": [size, "face"].

Writes into OUT:
  strings.rc     a STRINGTABLE per LCID (UTF-8, #pragma code_page(65001))
  dialogs.rc     the three dialogs per LCID, all from the one layout below
  string_ids.h   id lists for the tests: string ids of en.json, LCIDs, dialogs
                 and their controls

A file is rewritten only when its content changes, so a rebuild that changes
nothing recompiles nothing. Texts missing from a translation are left out of
its string table (a warning names them; the Windows tests catch them); the
dialogs then show the English text, since a template must have some text.
Anything that would make a wrong resource (bad JSON, a bad LCID, one LCID in
two files, a text that is not a string, a control character) stops the build
with a message naming the file and key.
"""

import argparse
import json
import os
import re
import sys

ENGLISH_FILE = "en.json"
DEFAULT_FONT = (8, "MS Sans Serif")

# Window styles of the three dialogs.
PAGE_STYLE = "DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION"
POPUP_STYLE = "DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION"

# Control styles. Every control is a child and visible; the rest follows what
# rc's own statements give: statics start a group (so a mnemonic on a label
# moves to the next tab stop), edits and buttons are tab stops.
CHILD = "WS_CHILD | WS_VISIBLE"
TEXT_WRAP = "SS_LEFT | WS_GROUP"
TEXT_LINE = "SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | WS_GROUP"
SUNKEN_LINE = "SS_SUNKEN | WS_GROUP"
EDIT = "ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP"
BUTTON = "BS_PUSHBUTTON | WS_TABSTOP"
DEFAULT_BUTTON = "BS_DEFPUSHBUTTON | WS_TABSTOP"
DISABLED_BUTTON = "BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP"
PROGRESS = "WS_BORDER"

# A control's text is None (empty), an int (a string id of the same language)
# or a str (a "dialog.*" key of the same language).
# (id, class, text, style, x, y, w, h), in tab order.
DIALOGS = [
    {
        "id": 1000,  # the progress page
        "size": (331, 207),
        "style": PAGE_STYLE,
        "caption": "dialog.1000.caption",
        "controls": [
            (1004, "Static", 152, TEXT_WRAP, 22, 71, 289, 39),
            (1002, "Static", "dialog.1000.1002", TEXT_LINE, 22, 117, 289, 16),
            (1001, "msctls_progress32", None, PROGRESS, 22, 137, 289, 12),
            (1300, "Static", None, SUNKEN_LINE, 4, 174, 327, 1),
            (2001, "Button", "dialog.all.2001", DISABLED_BUTTON, 150, 186, 50, 14),
            (2000, "Button", "dialog.all.2000", DISABLED_BUTTON, 201, 186, 50, 14),
            (2, "Button", 302, BUTTON, 261, 186, 50, 14),
        ],
    },
    {
        "id": 1100,  # the destination page
        "size": (331, 207),
        "style": PAGE_STYLE,
        "caption": "dialog.1100.caption",
        "controls": [
            (1103, "Static", 162, TEXT_WRAP, 22, 75, 289, 39),
            (1102, "Static", "dialog.1100.1102", TEXT_LINE, 22, 112, 289, 12),
            (1101, "Edit", None, EDIT, 22, 129, 289, 14),
            (1104, "Button", "dialog.1100.1104", BUTTON, 261, 148, 50, 14),
            (1300, "Static", None, SUNKEN_LINE, 4, 174, 327, 1),
            (2001, "Button", "dialog.all.2001", DISABLED_BUTTON, 150, 186, 50, 14),
            (2000, "Button", "dialog.all.2000", DEFAULT_BUTTON, 201, 186, 50, 14),
            (2, "Button", 302, BUTTON, 261, 186, 50, 14),
        ],
    },
    {
        "id": 1200,  # "File Exists": asks before an existing file is replaced
        "size": (322, 119),
        "style": POPUP_STYLE,
        "caption": 511,
        "controls": [
            (1201, "Static", 512, TEXT_WRAP, 7, 7, 308, 54),
            (1202, "Static", 514, TEXT_WRAP, 7, 68, 308, 24),
            (2002, "Button", 304, BUTTON, 7, 97, 57, 14),
            (2003, "Button", 305, BUTTON, 69, 97, 57, 14),
            (2004, "Button", 306, BUTTON, 131, 97, 57, 14),
            (2005, "Button", 307, BUTTON, 193, 97, 57, 14),
            (2, "Button", 302, BUTTON, 258, 97, 57, 14),
        ],
    },
]


class LangError(Exception):
    pass


def warn(message):
    print("make_rc.py: warning: " + message, file=sys.stderr)


def dialog_keys():
    """Every "dialog.*" key the layout reads."""
    keys = set()
    for dialog in DIALOGS:
        for text in [dialog["caption"]] + [c[2] for c in dialog["controls"]]:
            if isinstance(text, str):
                keys.add(text)
    return keys


KNOWN_DIALOG_KEYS = dialog_keys()
DIGITS = re.compile(r"^[0-9]+$")


class Language:
    def __init__(self, path):
        self.path = path
        self.file = os.path.basename(path)
        try:
            with open(path, "r", encoding="utf-8-sig") as f:
                data = json.load(f)
        except UnicodeDecodeError as e:
            raise LangError(f"{self.file}: not UTF-8 ({e})")
        except json.JSONDecodeError as e:
            raise LangError(f"{self.file}: bad JSON at line {e.lineno}, column {e.colno}: {e.msg}")
        if not isinstance(data, dict):
            raise LangError(f"{self.file}: the file must hold one JSON object")

        self.name = data.get("_language")
        if not isinstance(self.name, str) or not self.name:
            warn(f"{self.file}: no \"_language\" name")
            self.name = self.file
        # The name goes into a comment line of the .rc files.
        self.name = "".join(ch if ch >= " " else " " for ch in self.name)

        self.lcids = self._read_lcids(data.get("_lcids"))
        self.font = self._read_font(data.get("_dialog_font"))

        self.strings = {}  # int id -> text
        self.dialog = {}  # "dialog.*" key -> text
        for key, value in data.items():
            if key.startswith("_"):
                continue
            if not isinstance(value, str):
                raise LangError(f"{self.file}: \"{key}\" is not a text")
            check_text(self.file, key, value)
            if DIGITS.match(key):
                number = int(key, 10)
                if number > 0xFFFF:
                    raise LangError(f"{self.file}: string id {key} is above 65535")
                if number in self.strings:
                    raise LangError(f"{self.file}: string id {number} is given twice")
                self.strings[number] = value
            elif key in KNOWN_DIALOG_KEYS:
                self.dialog[key] = value
            else:
                warn(f"{self.file}: \"{key}\" is neither a string id nor a dialog text; left out")

    def _read_lcids(self, lcids):
        if not isinstance(lcids, list) or not lcids:
            raise LangError(f"{self.file}: \"_lcids\" must be a list of LCIDs")
        seen = []
        for lcid in lcids:
            # A LANGUAGE statement takes the 16-bit language id; the primary
            # language (low 10 bits) must not be 0 (neutral).
            if isinstance(lcid, bool) or not isinstance(lcid, int) or not 0 < lcid <= 0xFFFF or (lcid & 0x3FF) == 0:
                raise LangError(f"{self.file}: {lcid!r} in \"_lcids\" is not a language id")
            if lcid in seen:
                raise LangError(f"{self.file}: LCID {lcid} is listed twice")
            seen.append(lcid)
        return seen

    def _read_font(self, font):
        if font is None:
            return DEFAULT_FONT
        if (
            not isinstance(font, list)
            or len(font) != 2
            or isinstance(font[0], bool)
            or not isinstance(font[0], int)
            or not 1 <= font[0] <= 72
            or not isinstance(font[1], str)
            or not font[1].strip()
        ):
            raise LangError(f"{self.file}: \"_dialog_font\" must be [size 1-72, \"face\"]")
        check_text(self.file, "_dialog_font", font[1])
        return (font[0], font[1])


def check_text(file, key, text):
    """Refuses the characters an rc string cannot carry as written."""
    for ch in text:
        if (ord(ch) < 0x20 and ch not in "\n\t\r") or 0xD800 <= ord(ch) <= 0xDFFF:
            raise LangError(f"{file}: \"{key}\" holds the control character U+{ord(ch):04X}")


def rc_quote(text):
    """text as an rc string literal (UTF-8 under #pragma code_page(65001))."""
    out = (
        text.replace("\\", "\\\\")
        .replace('"', '""')
        .replace("\n", "\\n")
        .replace("\r", "\\r")
        .replace("\t", "\\t")
    )
    return '"' + out + '"'


def language_statement(lcid):
    return f"LANGUAGE {lcid & 0x3FF}, {(lcid & 0xFFFF) >> 10}"


def header_comment():
    return (
        "// Generated by resources/make_rc.py from resources/lang/*.json.\n"
        "// Edit the language files or the generator, not this file.\n"
    )


def make_strings_rc(languages, english):
    lines = [header_comment(), "#pragma code_page(65001)", ""]
    for lang in languages:
        missing = sorted(set(english.strings) - set(lang.strings))
        if missing and lang is not english:
            warn(f"{lang.file}: {len(missing)} string(s) missing: " + ", ".join(map(str, missing)))
        extra = sorted(set(lang.strings) - set(english.strings))
        if extra and lang is not english:
            warn(f"{lang.file}: string(s) not in {ENGLISH_FILE}: " + ", ".join(map(str, extra)))
        empty = sorted(i for i, t in lang.strings.items() if t == "")
        if empty:
            # An empty entry is not stored: LoadString finds nothing.
            warn(f"{lang.file}: empty text(s), which Windows treats as missing: " + ", ".join(map(str, empty)))
        for lcid in lang.lcids:
            lines.append(f"// {lang.name} ({lcid}), from {lang.file}")
            lines.append(language_statement(lcid))
            lines.append("STRINGTABLE")
            lines.append("BEGIN")
            for number in sorted(lang.strings):
                lines.append(f"  {number}, {rc_quote(lang.strings[number])}")
            lines.append("END")
            lines.append("")
    return "\n".join(lines)


def dialog_text(lang, english, source, where):
    """The text of a caption or control in lang, English when lang lacks it."""
    if source is None:
        return ""
    table_of = (lambda l: l.strings) if isinstance(source, int) else (lambda l: l.dialog)
    text = table_of(lang).get(source)
    if text is not None:
        return text
    text = table_of(english).get(source)
    if text is not None:
        if lang is not english:
            warn(f"{lang.file}: {where} has no text ({source}); using the English one")
        return text
    warn(f"{lang.file}: {where} has no text ({source}) in any language; left empty")
    return ""


def make_dialogs_rc(languages, english):
    lines = [header_comment(), "#pragma code_page(65001)", ""]
    for lang in languages:
        for lcid in lang.lcids:
            lines.append(f"// {lang.name} ({lcid}), from {lang.file}")
            lines.append(language_statement(lcid))
            lines.append("")
            for dialog in DIALOGS:
                w, h = dialog["size"]
                caption = dialog_text(lang, english, dialog["caption"], f"dialog {dialog['id']} caption")
                lines.append(f"{dialog['id']} DIALOGEX 0, 0, {w}, {h}")
                lines.append(f"STYLE {dialog['style']}")
                lines.append(f"CAPTION {rc_quote(caption)}")
                lines.append(f"FONT {lang.font[0]}, {rc_quote(lang.font[1])}")
                lines.append("BEGIN")
                for cid, cls, source, style, x, y, cw, ch in dialog["controls"]:
                    text = dialog_text(lang, english, source, f"dialog {dialog['id']} control {cid}")
                    lines.append(
                        f"  CONTROL {rc_quote(text)}, {cid}, {rc_quote(cls)}, {style} | {CHILD}, {x}, {y}, {cw}, {ch}"
                    )
                lines.append("END")
                lines.append("")
    return "\n".join(lines)


def c_list(values):
    return ", ".join(str(v) for v in values)


def make_header(languages, english):
    lcids = sorted(lcid for lang in languages for lcid in lang.lcids)
    lines = [
        header_comment().rstrip("\n"),
        "#pragma once",
        "",
        f"// Every string id of {ENGLISH_FILE}, ascending.",
        f"static const unsigned kVoxStringIds[] = {{{c_list(sorted(english.strings))}}};",
        "// Every LCID a language file serves, ascending.",
        f"static const unsigned short kVoxLanguageIds[] = {{{c_list(lcids)}}};",
        "// The dialogs each of those languages has.",
        f"static const unsigned kVoxDialogIds[] = {{{c_list(sorted(d['id'] for d in DIALOGS))}}};",
        "// The controls of each dialog, in tab order.",
    ]
    for dialog in sorted(DIALOGS, key=lambda d: d["id"]):
        ids = [c[0] for c in dialog["controls"]]
        lines.append(f"static const unsigned kVoxDialog{dialog['id']}Controls[] = {{{c_list(ids)}}};")
    lines.append("")
    return "\n".join(lines)


def write_if_changed(path, text):
    data = text.encode("utf-8")
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return False
    except FileNotFoundError:
        pass
    temp = path + ".tmp"
    with open(temp, "wb") as f:
        f.write(data)
    os.replace(temp, path)
    return True


def load_languages(lang_dir):
    names = sorted(n for n in os.listdir(lang_dir) if n.endswith(".json"))
    if ENGLISH_FILE not in names:
        raise LangError(f"{lang_dir}: no {ENGLISH_FILE}")
    # English first: it is the reference and the fallback.
    names.remove(ENGLISH_FILE)
    names.insert(0, ENGLISH_FILE)
    languages = [Language(os.path.join(lang_dir, n)) for n in names]
    owner = {}
    for lang in languages:
        for lcid in lang.lcids:
            if lcid in owner:
                raise LangError(f"LCID {lcid} is served by both {owner[lcid]} and {lang.file}")
            owner[lcid] = lang.file
    return languages


def main(argv=None):
    parser = argparse.ArgumentParser(description="Writes the stub's .rc files and id header from the language files.")
    parser.add_argument("--lang-dir", required=True, help="folder of the *.json language files")
    parser.add_argument("--out-dir", required=True, help="folder for strings.rc, dialogs.rc and string_ids.h")
    args = parser.parse_args(argv)
    try:
        languages = load_languages(args.lang_dir)
    except LangError as e:
        print(f"make_rc.py: error: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"make_rc.py: error: {e}", file=sys.stderr)
        return 1
    english = languages[0]
    os.makedirs(args.out_dir, exist_ok=True)
    outputs = {
        "strings.rc": make_strings_rc(languages, english),
        "dialogs.rc": make_dialogs_rc(languages, english),
        "string_ids.h": make_header(languages, english),
    }
    for name, text in outputs.items():
        write_if_changed(os.path.join(args.out_dir, name), text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
