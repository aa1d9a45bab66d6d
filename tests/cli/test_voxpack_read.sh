#!/usr/bin/env bash
# voxpack list / extract / test from the outside: exit codes, messages,
# JSON, and what lands on disk.
#   test_voxpack_read.sh VOXPACK
set -u
voxpack=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

python3 "$here/make_archive.py" "$work/good.ach" good
python3 "$here/make_archive.py" "$work/hostile.ach" hostile
python3 "$here/make_archive.py" "$work/corrupt.ach" corrupt
python3 "$here/make_archive.py" "$work/control.ach" control

check "list succeeds" expect_code 0 "$voxpack" list "$work/good.ach"
check "list names the entries" grep -q 'docs\\readme.txt' "$work/out"
check "list --json is JSON with the fields" expect_code 0 "$voxpack" list --json "$work/good.ach"
check "json fields" python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
e = d["entries"]
assert len(e) == 4 and e[1]["name"] == "docs\\readme.txt" and e[1]["method"] == 1
assert e[3]["name"] == "caf\u00e9.txt" and e[2]["uncompressed"] == 16384
assert d["comment"] == "sample \u2713" and d["volumes"] == 1 and d["start_offset"] == 0
assert set(e[0]) >= {"name","method","level","attributes","filetime","compressed","uncompressed","crc_data","crc_content","offset"}
assert (e[1]["method_name"], e[1]["time"], e[0]["attribute_letters"]) == ("deflate", "2019-04-17T18:40:00Z", "D")
' "$work/out"
python3 "$here/make_archive.py" "$work/odd.ach" oddname
check "list --json of an unpaired surrogate is valid JSON" eval '"$voxpack" list --json "$work/odd.ach" | python3 -c "import json,sys; assert json.load(sys.stdin)[\"entries\"][4][\"name\"] == \"odd\ud800.txt\""'
check "list PATTERN" expect_code 0 "$voxpack" list "$work/good.ach" '*.txt'
check "only the matches" test "$(grep -c '\.txt$' "$work/out")" = 2 -a "$(grep -c 'data.bin' "$work/out")" = 0
check "the time zone is named" grep -q 'Modified (UTC)' "$work/out"
check "list of an unmatched pattern, exit 1" expect_code 1 "$voxpack" list "$work/good.ach" '*.xyz'

check "extract succeeds, options after the archive" expect_code 0 "$voxpack" extract "$work/good.ach" -o "$work/x"
check "extracted text" cmp -s <(python3 -c 'import sys; sys.stdout.write("read me\n" * 200)') "$work/x/docs/readme.txt"
check "extracted non-ASCII name" test -f "$work/x/caf$(printf '\xc3\xa9').txt"
check "quiet off a terminal" test ! -s "$work/err"
check "existing files are kept off a terminal, exit 1" expect_code 1 "$voxpack" extract -o "$work/x" "$work/good.ach"
check "kept files are reported" grep -q "exists, kept" "$work/err"
# A file hard-linked into the destination from outside keeps its bytes: the
# old file is replaced, not written into; read-only ones are replaced too.
echo outside >"$work/outside.txt" && rm "$work/x/docs/readme.txt" && ln "$work/outside.txt" "$work/x/docs/readme.txt"
chmod a-w "$work/x/bin/data.bin"
check "--overwrite replaces" expect_code 0 "$voxpack" extract --overwrite -o "$work/x" "$work/good.ach"
check "a hard link's other name keeps its bytes" test "$(cat "$work/outside.txt")" = outside
check "the destination's file is new" cmp -s <(python3 -c 'import sys; sys.stdout.write("read me\n" * 200)') "$work/x/docs/readme.txt"
check "nothing left beside them" test -z "$(find "$work/x" -name '*.part')"
check "--skip-existing keeps quietly" expect_code 0 "$voxpack" extract --skip-existing -o "$work/x" "$work/good.ach"
check "--flat and a pattern" expect_code 0 "$voxpack" extract --flat -o "$work/flat" "$work/good.ach" '*.txt'
check "flat files" test -f "$work/flat/readme.txt" -a ! -e "$work/flat/docs" -a ! -e "$work/flat/data.bin"
check "unmatched pattern, exit 1" expect_code 1 "$voxpack" extract -o "$work/none" "$work/good.ach" nothing.bin

check "hostile name refused, exit 1" expect_code 1 "$voxpack" extract -o "$work/h/inside" "$work/hostile.ach"
check "refusal is one line naming the entry" test "$(grep -c 'evil.txt' "$work/err")" = 1
check "nothing written outside" test ! -e "$work/h/evil.txt"
check "the rest extracted" test -f "$work/h/inside/docs/readme.txt"

check "test passes a good archive" expect_code 0 "$voxpack" test "$work/good.ach"
check "test finds damage, exit 1" expect_code 1 "$voxpack" test "$work/corrupt.ach"
check "damage is named" grep -q 'data.bin: CRC mismatch' "$work/err"

# A directory record's signature off by one: every command refuses the
# archive in one line naming where the walk stopped, and writes nothing.
python3 -c '
import sys
b = bytearray(open(sys.argv[1], "rb").read())
end = b.rfind(bytes.fromhex("554d050c"))
b[int.from_bytes(b[end + 28:end + 36], "little")] ^= 1
open(sys.argv[2], "wb").write(b)' "$work/good.ach" "$work/lying.ach"
cp "$work/lying.ach" "$work/lying.orig"
for command in list test extract delete comment; do
  case $command in delete) extra=(x.txt) ;; comment) extra=(note) ;; *) extra=() ;; esac
  check "damaged directory: $command exit 2" expect_code 2 "$voxpack" $command "$work/lying.ach" "${extra[@]}" $([ $command = extract ] && echo -o "$work/ly")
  check "damaged directory: $command says where" grep -qx "voxpack: $work/lying.ach: damaged directory: entry 0 of the 4 it claims cannot be read" "$work/err"
done
check "damaged directory: nothing written" test ! -e "$work/ly" -a ! -e "$work/~lying.ach"
check "damaged directory: archive unchanged" cmp -s "$work/lying.ach" "$work/lying.orig"

# Control characters in a name are shown, not obeyed.
check "list of a name with control characters" expect_code 0 "$voxpack" list "$work/control.ach"
check "the name listed on one line, escaped" grep -qF 'a\x0Ab\x1B[31m.txt' "$work/out"
check "no escape byte listed" eval '! grep -q $'"'"'\x1b'"'"' "$work/out"'
check "its damage on one line, escaped" expect_code 1 "$voxpack" test "$work/control.ach"
check "one error line" test "$(wc -l <"$work/err")" = 1 -a "$(grep -c 'a\\x0Ab' "$work/err")" = 1

check "missing archive, exit 2" expect_code 2 "$voxpack" list "$work/missing.ach"
check "one line for it" test "$(wc -l <"$work/err")" = 1
check "not an archive, exit 2" expect_code 2 "$voxpack" test "$here/make_archive.py"
check "unknown option, exit 2" expect_code 2 "$voxpack" extract --bogus "$work/good.ach"
check "unknown command, exit 2" expect_code 2 "$voxpack" frobnicate
check "help, exit 0" expect_code 0 "$voxpack" --help
check "command help, exit 0" expect_code 0 "$voxpack" extract --help
check "'--' ends options" expect_code 2 "$voxpack" list -- --json

report
