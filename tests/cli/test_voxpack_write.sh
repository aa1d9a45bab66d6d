#!/usr/bin/env bash
# voxpack create / add / delete / comment from the outside: round trips,
# and an archive that survives a killed append and a full disk.
#   test_voxpack_write.sh VOXPACK
set -u
voxpack=$(realpath "$1")
work=$(mktemp -d)
cleanup() {
  umountpoint=$work/small
  mountpoint -q "$umountpoint" 2>/dev/null && umount "$umountpoint"
  chmod -R u+w "$work"
  rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/checks.sh"

same_tree() { diff -r "$1" "$2" >/dev/null; }
entries() { "$voxpack" list --json "$1" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)["entries"]))'; }

# A package-like tree: text, an empty file, an empty folder, binary data,
# a non-ASCII name.
mkdir -p "$work/src/pkg/sub/deeper" "$work/src/pkg/empty"
for i in $(seq 1 30); do seq 1 $((i * 50)) >"$work/src/pkg/sub/text$i.txt"; done
: >"$work/src/pkg/zero.txt"
head -c 300000 /dev/urandom >"$work/src/pkg/sub/deeper/random.bin"
echo "snowman" >"$work/src/pkg/caf$(printf '\xc3\xa9')-$(printf '\xe2\x98\x83').txt"
touch -d '2001-02-03 04:05:06' "$work/src/pkg/sub/text1.txt"

for method in store deflate; do
  check "create -m $method" expect_code 0 "$voxpack" create "$work/$method.ach" "$work/src/pkg" -m $method
  check "no partial file left" test ! -e "$work/$method.ach.part"
  check "test passes ($method)" expect_code 0 "$voxpack" test "$work/$method.ach"
  check "entries listed ($method)" test "$(entries "$work/$method.ach")" = 37
  check "extract ($method)" expect_code 0 "$voxpack" extract "$work/$method.ach" -o "$work/x-$method"
  check "tree round trip ($method)" same_tree "$work/src/pkg" "$work/x-$method/pkg"
  check "time kept ($method)" test "$(stat -c %Y "$work/x-$method/pkg/sub/text1.txt")" = "$(stat -c %Y "$work/src/pkg/sub/text1.txt")"
done
check "data that does not shrink is stored" test "$("$voxpack" list --json "$work/deflate.ach" | python3 -c '
import json,sys; print([(e["method"], e["compressed"]) for e in json.load(sys.stdin)["entries"] if e["name"].endswith("random.bin")])')" = "[(0, 300000)]"
check "deflate is smaller" test "$(stat -c %s "$work/deflate.ach")" -lt "$(stat -c %s "$work/store.ach")"
check "create refuses an existing archive" expect_code 2 "$voxpack" create "$work/deflate.ach" "$work/src/pkg"
check "patterns and an archive folder" expect_code 0 "$voxpack" create "$work/p.ach" "$work/src/pkg/sub/text1*" --folder docs
check "pattern entries" test "$(entries "$work/p.ach")" = 11

# add: keep by default off a terminal, replace on request.
echo "version 1" >"$work/note.txt"
check "add" expect_code 0 "$voxpack" add "$work/deflate.ach" "$work/note.txt"
echo "version 2" >"$work/note.txt"
check "add of an existing name keeps it, exit 1" expect_code 1 "$voxpack" add "$work/deflate.ach" "$work/note.txt"
check "add --replace" expect_code 0 "$voxpack" add --replace "$work/deflate.ach" "$work/note.txt"
check "extract the note" expect_code 0 "$voxpack" extract --overwrite "$work/deflate.ach" -o "$work/x-note" note.txt
check "the note is the new one" grep -q "version 2" "$work/x-note/note.txt"
check "entry count after adds" test "$(entries "$work/deflate.ach")" = 38

# Re-adding an unchanged tree is no failure; --update takes changed files.
mkdir -p "$work/upd/t" && echo a >"$work/upd/t/a.txt" && echo b >"$work/upd/t/b.txt"
"$voxpack" create "$work/upd.ach" "$work/upd/t" >/dev/null 2>&1
check "re-adding an unchanged tree, exit 0" expect_code 0 "$voxpack" add "$work/upd.ach" "$work/upd/t"
echo "b, changed" >"$work/upd/t/b.txt"
check "a changed file is still asked about, exit 1" expect_code 1 "$voxpack" add "$work/upd.ach" "$work/upd/t"
check "add --update" expect_code 0 "$voxpack" add --update "$work/upd.ach" "$work/upd/t"
check "the changed file is the new one" eval '"$voxpack" extract "$work/upd.ach" -o "$work/upd/x" b.txt >/dev/null && grep -q changed "$work/upd/x/t/b.txt"'

# delete first, middle, last.
check "delete" expect_code 0 "$voxpack" delete "$work/deflate.ach" 'pkg\' 'text5.txt' note.txt
check "entry count after delete" test "$(entries "$work/deflate.ach")" = 35
check "test after delete" expect_code 0 "$voxpack" test "$work/deflate.ach"
check "delete of nothing, exit 1" expect_code 1 "$voxpack" delete "$work/deflate.ach" nothing.here
check "comment" expect_code 0 "$voxpack" comment "$work/deflate.ach" "Sample package $(printf '\xe2\x9c\x93')"
check "comment reads back" sh -c "'$voxpack' list --json '$work/deflate.ach' | grep -q 'Sample package'"

# Self-extracting archives and volumes.
python3 "$(dirname "$0")/fake_stub.py" "$work/stub.exe" 14C 40000
cp "$work/store.ach" "$work/vol.ach"
sum=$(sha256sum <"$work/vol.ach")
check "sea" expect_code 0 "$voxpack" sea "$work/vol.ach" "$work/stub.exe" "$work/setup.exe"
check "the package tests" expect_code 0 "$voxpack" test "$work/setup.exe"
check "the package extracts" expect_code 0 "$voxpack" extract "$work/setup.exe" -o "$work/x-sea"
check "package round trip" same_tree "$work/src/pkg" "$work/x-sea/pkg"
# sea never costs a file it did not make: an output that is an input, an
# existing output without --force, and a failure all leave every file.
cp "$work/vol.ach" "$work/vol.orig"
# Only a stub of this kit is taken as a stub: not a text, an archive, a
# package or another program.
printf 'MZ but no PE' >"$work/notpe.exe"
python3 "$(dirname "$0")/fake_stub.py" "$work/other.exe" 14C && sed -i 's/Vox_/Xyz_/' "$work/other.exe"
for bad in notarc.txt vol.ach setup.exe notpe.exe other.exe; do
  [ -e "$work/$bad" ] || echo "not an archive" >"$work/$bad"
  check "sea refuses $bad as a stub, exit 2" expect_code 2 "$voxpack" sea "$work/vol.ach" "$work/$bad" "$work/bad.exe"
  check "it says why ($bad)" grep -q "$bad: .*stub" "$work/err"
done
check "sea onto its archive refused" expect_code 2 "$voxpack" sea "$work/vol.ach" "$work/stub.exe" "$work/vol.ach"
check "sea onto its stub refused" expect_code 2 "$voxpack" sea "$work/vol.ach" "$work/stub.exe" "$work/stub.exe"
check "sea keeps an existing output" expect_code 2 "$voxpack" sea "$work/vol.ach" "$work/stub.exe" "$work/setup.exe"
check "sea says so" grep -q "setup.exe: exists (use --force" "$work/err"
echo "not an archive" >"$work/notarc.txt"
cp "$work/setup.exe" "$work/setup.orig"
check "sea of a non-archive fails" expect_code 2 "$voxpack" sea "$work/notarc.txt" "$work/stub.exe" "$work/setup.exe" --force
check "inputs and output all kept" eval 'cmp -s "$work/vol.ach" "$work/vol.orig" && test -s "$work/stub.exe" && cmp -s "$work/setup.exe" "$work/setup.orig" && test ! -e "$work/setup.exe.part"'
check "sea --force replaces" expect_code 0 "$voxpack" sea "$work/vol.ach" "$work/stub.exe" "$work/setup.exe" --force
check "unsea" expect_code 0 "$voxpack" unsea "$work/setup.exe" "$work/unsea"
check "the stub comes back" cmp -s "$work/stub.exe" "$work/unsea/Seastub.exe"
check "the archive comes back" test "$(sha256sum <"$work/unsea/vol.ach")" = "$sum"
check "unsea keeps existing files off a terminal, exit 1" expect_code 1 "$voxpack" unsea "$work/setup.exe" "$work/unsea"
echo unrelated >"$work/vol2.ach"
check "split refuses a file in a volume's way, exit 2" expect_code 2 "$voxpack" split "$work/vol.ach" 200K
check "it names the file" grep -q "vol2.ach: exists" "$work/err"
check "the file and the archive kept, nothing left" eval 'test "$(cat "$work/vol2.ach")" = unrelated && test "$(sha256sum <"$work/vol.ach")" = "$sum" && test -z "$(ls "$work" | grep "^vol.*part\|^~")"'
check "a size making too many volumes is refused, exit 2" expect_code 2 "$voxpack" split "$work/vol.ach" 20
check "it says the least size" grep -q "bytes at least" "$work/err"
check "split --force" expect_code 0 "$voxpack" split "$work/vol.ach" 200K --force
check "volumes made" test -f "$work/vol2.ach"
# Volumes of this very archive (a split stopped before it replaced it) are
# taken without --force.
cp "$work/vol.ach" "$work/vol.split" && cp "$work/vol.orig" "$work/vol.ach"
check "volumes left by an earlier split are taken" expect_code 0 "$voxpack" split "$work/vol.ach" 200K
check "and the result is the same" cmp -s "$work/vol.ach" "$work/vol.split"
check "every file at most the size" test -z "$(find "$work" -maxdepth 1 -name 'vol*.ach' -size +204800c)"
check "split archive tests" expect_code 0 "$voxpack" test "$work/vol.ach"
check "split archive extracts" expect_code 0 "$voxpack" extract "$work/vol.ach" -o "$work/x-split"
check "split round trip" same_tree "$work/src/pkg" "$work/x-split/pkg"
check "bad volume size, exit 2" expect_code 2 "$voxpack" split "$work/vol.ach" 12Q
check "merge" expect_code 0 "$voxpack" merge "$work/vol.ach"
check "merged archive is the original" test "$(sha256sum <"$work/vol.ach")" = "$sum"
check "volumes gone" test ! -e "$work/vol2.ach"

# A killed append leaves the archive byte for byte as it was.
head -c 60000000 /dev/urandom >"$work/big.bin"
sum=$(sha256sum <"$work/store.ach")
"$voxpack" add "$work/store.ach" "$work/big.bin" -l 9 2>/dev/null &
pid=$!
sleep 0.3
kill -9 $pid 2>/dev/null
wait $pid 2>/dev/null
check "killed append: archive intact" test "$(sha256sum <"$work/store.ach")" = "$sum"
check "killed append: archive still tests" expect_code 0 "$voxpack" test "$work/store.ach"
rm -f "$work/~store.ach"

# -j N: the same archive for every thread count. Patterns of files only:
# folder entries carry the moment of the add.
for j in 1 2 3; do
  check "create -j $j" expect_code 0 "$voxpack" create "$work/j$j.ach" "$work/src/pkg/sub/*.txt" "$work/src/pkg/sub/deeper/*.bin" -j $j
done
check "-j 2 writes the bytes of -j 1" cmp -s "$work/j1.ach" "$work/j2.ach"
check "-j 3 writes the bytes of -j 1" cmp -s "$work/j1.ach" "$work/j3.ach"
for j in 1 2; do
  check "create --folder -j $j" expect_code 0 "$voxpack" create "$work/jf$j.ach" "$work/src/pkg/sub/*.txt" --folder inst -j $j
done
check "--folder: -j 2 writes the bytes of -j 1" cmp -s "$work/jf1.ach" "$work/jf2.ach"
# Names Windows cannot hold are refused, one line each; the rest goes in.
mkdir -p "$work/names/dev.d"
for name in CON.txt 'col:on.txt' 'star*.txt' 'trail. ' 'back\slash' case.txt Case.txt ok.txt dev.d/nul; do
  : >"$work/names/$name"
done
mkdir "$work/names/dot." && : >"$work/names/dot./inside.txt"
check "create with bad names, exit 1" expect_code 1 "$voxpack" create "$work/names.ach" "$work/names"
for name in CON.txt 'col:on.txt' 'star*.txt' 'trail. ' 'back\slash' case.txt dev.d/nul dot.; do
  check "refused: $name" grep -qF "names/$name: refused: " "$work/err"
done
check "one line each" test "$(wc -l <"$work/err")" = 8
check "the rest went in" test "$("$voxpack" list --json "$work/names.ach" | python3 -c '
import json,sys; print(" ".join(sorted(e["name"] for e in json.load(sys.stdin)["entries"])))')" = 'names\ names\Case.txt names\dev.d\ names\ok.txt'
for folder in 'C:\abs' '../up' 'a/CON'; do
  check "--folder $folder refused, exit 2" expect_code 2 "$voxpack" create "$work/f.ach" "$work/note.txt" --folder "$folder"
done

# Choosing inputs: patterns in any part, '?', letter case ignored, '\' as
# '/', excludes, list files and standard input, --folder with a folder.
mkdir -p "$work/in/app/sub/deep" "$work/in/app/.git" "$work/in/app/Other"
for f in app/a.txt app/B.TXT app/sub/c.txt app/sub/deep/d.txt app/.git/config app/.hidden app/Other/o.txt; do
  echo "$f" >"$work/in/$f"
done
printf 'app/a.txt\napp/sub\n' >"$work/in/list.txt"
names_of() { "$voxpack" list --json "$1" | python3 -c 'import json,sys; print(" ".join(e["name"] for e in json.load(sys.stdin)["entries"]))'; }
while IFS='|' read -r what want args; do
  (cd "$work/in" && eval "\"\$voxpack\" create '$work/in.ach' --force $args" >/dev/null 2>&1)
  check "inputs: $what" test "$(names_of "$work/in.ach")" = "$want"
done <<'TABLE'
files of a folder, any case|B.TXT a.txt|'app/*.txt'
a pattern in a folder part|Other\o.txt sub\c.txt|'app/*/*.txt'
backslashes and ?|Other\o.txt sub\c.txt|'app\*\?.txt'
-x and --exclude-vcs|app\ app\B.TXT app\Other\ app\Other\o.txt app\a.txt app\sub\ app\sub\c.txt|app --exclude-vcs -x '.*' -x 'sub/deep'
--folder with a folder|x\app\ x\app\B.TXT|app --folder x -x a.txt -x '.*' -x sub -x Other
-r with --folder|p\a.txt p\sub\ p\sub\c.txt|'app/a*' 'app/s*' -r --folder p -x deep
a list file|a.txt sub\ sub\c.txt|@list.txt -x deep
standard input|a.txt|- <<<app/a.txt
TABLE
check "an unmatched pattern, exit 1" expect_code 1 "$voxpack" create "$work/in2.ach" "$work/in/app/*.xyz" "$work/in/app/*.txt"
check "it is named" grep -q 'app/\*.xyz: nothing matches' "$work/err"
check "nothing matched: exit 1" expect_code 1 "$voxpack" create "$work/in3.ach" "$work/in/app/*.xyz"
check "nothing matched: no archive" test ! -e "$work/in3.ach"

# SOURCE_DATE_EPOCH: the same bytes from a copy of the tree elsewhere, run
# from another folder with another -j; times after the epoch are cut to it.
mkdir -p "$work/elsewhere" && cp -a "$work/src" "$work/elsewhere/src"
touch "$work/src/pkg/zero.txt" "$work/elsewhere/src/pkg/zero.txt"
export SOURCE_DATE_EPOCH=1700000000
check "reproducible create" expect_code 0 "$voxpack" create "$work/r1.ach" "$work/src/pkg" -j 1
(cd "$work/elsewhere" && "$voxpack" create r2.ach src/pkg -j 3)
check "the same bytes" cmp -s "$work/r1.ach" "$work/elsewhere/r2.ach"
check "times cut to the epoch" test "$("$voxpack" list --json "$work/r1.ach" | python3 -c '
import json,sys; print(max(e["filetime"] for e in json.load(sys.stdin)["entries"]))')" = $(((1700000000 + 11644473600) * 10000000))
check "a bad epoch is refused" expect_code 2 env SOURCE_DATE_EPOCH=yesterday "$voxpack" create "$work/r3.ach" "$work/src/pkg"
unset SOURCE_DATE_EPOCH
# Talking to scripts: attached values, method names in any case, --version,
# help COMMAND.
check "-j2 -l9 -mSTORE" expect_code 0 "$voxpack" create "$work/att.ach" "$work/note.txt" -j2 -l9 -mSTORE
check "stored at level 9" test "$("$voxpack" list --json "$work/att.ach" | python3 -c '
import json,sys; e=json.load(sys.stdin)["entries"][0]; print(e["method"], e["level"])')" = "0 9"
check "--version" eval '"$voxpack" --version | grep -q "^voxpack [0-9]"'
check "help COMMAND" eval '"$voxpack" help create | grep -q "usage: voxpack create"'
# On a terminal (script(1) gives one) the bar's entry total is the plan's.
if command -v script >/dev/null; then
  script -qec "'$voxpack' create '$work/bar.ach' '$work/src/pkg'" /dev/null >"$work/bar.out" 2>&1
  n=$(find "$work/src/pkg" -type f | wc -l)
  check "the bar counts the files planned" grep -q " $n/$n entries" "$work/bar.out"
fi
check "-j 0 is refused" expect_code 2 "$voxpack" create "$work/j0.ach" "$work/src/pkg" -j 0
check "-j 0: the message names -j" grep -q -- "-j takes" "$work/err"

# A full disk: a small file system where root may mount one.
mkdir -p "$work/small"
if mount -t tmpfs -o size=2m tmpfs "$work/small" 2>/dev/null; then
  cp "$work/p.ach" "$work/small/p.ach"
  sum=$(sha256sum <"$work/small/p.ach")
  head -c 3000000 /dev/urandom >"$work/r.bin"
  check "add on a full disk fails, exit 1" expect_code 1 "$voxpack" add "$work/small/p.ach" "$work/r.bin" -m store
  check "full disk: one line names the archive" grep -q "small/p.ach" "$work/err"
  check "full disk: archive intact" test "$(sha256sum <"$work/small/p.ach")" = "$sum"
  umount "$work/small"
else
  echo "(no tmpfs mount here: the full-disk check is skipped)"
fi

# A create that could add nothing writes nothing, so the retry needs no --force.
check "create of a missing path, exit 1" expect_code 1 "$voxpack" create "$work/none.ach" "$work/nothere.txt"
check "nothing written" test ! -e "$work/none.ach" -a ! -e "$work/none.ach.part"
check "the retry needs no --force" expect_code 0 "$voxpack" create "$work/none.ach" "$work/src/pkg/zero.txt"

# An archive another process is rewriting (flock(1) holds the same lock a
# rewrite takes): refused at once, exit 2, and left as it was.
if command -v flock >/dev/null; then
  cp "$work/store.ach" "$work/locked.ach"
  flock "$work/locked.ach" sleep 20 </dev/null >/dev/null 2>&1 &
  holder=$!
  sleep 0.5
  for change in "add $work/src/pkg/zero.txt" "delete zero.txt" "comment note"; do
    check "locked archive: ${change%% *} refused" expect_code 2 "$voxpack" ${change%% *} "$work/locked.ach" ${change#* }
    check "locked archive: ${change%% *} says why" grep -q "locked.ach: it is being changed by another process" "$work/err"
  done
  pkill -P "$holder" sleep 2>/dev/null
  kill "$holder" 2>/dev/null
  check "locked archive unchanged" cmp -s "$work/locked.ach" "$work/store.ach"
fi

# A full disk (a small tmpfs, where the tests may mount one): named as such,
# once, and nothing left behind.
mkdir -p "$work/full"
if mount -t tmpfs -o size=256k tmpfs "$work/full" 2>/dev/null; then
  head -c 600000 /dev/urandom >"$work/big.bin"
  check "full disk, exit 1" expect_code 1 "$voxpack" create "$work/full/a.ach" "$work/big.bin"
  check "full disk named once" test "$(grep -c 'no space left on the device' "$work/err")" = 1
  check "full disk: nothing left" test -z "$(ls -A "$work/full")"
  # An archive that fits, but not twice: every command that writes a copy
  # of it fails, says why, and leaves it as it was.
  head -c 150000 /dev/urandom >"$work/mid.bin"
  "$voxpack" create "$work/full/c.ach" "$work/mid.bin" "$work/note.txt" -m store >/dev/null 2>&1
  cp "$work/full/c.ach" "$work/c.orig"
  for run in "comment c.ach a-note" "add c.ach $work/stub.exe" "delete c.ach note.txt" "split c.ach 60K" \
    "sea c.ach $work/stub.exe out.exe"; do
    what=${run%% *}
    (cd "$work/full" && expect_code 1 "$voxpack" $run)
    check "full disk: $what fails" test $? = 0
    check "full disk: $what names it" grep -q 'no space left on the device' "$work/err"
    check "full disk: $what leaves the archive alone" cmp -s "$work/full/c.ach" "$work/c.orig"
    # The unfinished copy of a rewrite may stay, named in the last line.
    check "full disk: $what leaves nothing unnamed" test "$(ls -A "$work/full" | grep -v '^~c.ach$')" = c.ach
    [ -e "$work/full/~c.ach" ] && check "full disk: $what names its copy" grep -q 'unfinished new copy is .*~c.ach' "$work/err"
    rm -f "$work/full/~c.ach"
  done
  umount "$work/full"
fi

report
