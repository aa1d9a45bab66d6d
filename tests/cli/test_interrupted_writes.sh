#!/usr/bin/env bash
# voxpack killed mid-write, and two writers on one archive. A kill -9 at a
# random moment of each writing command leaves every file as it was or the
# finished result, with nothing new but *.part (files or folders) and ~NAME
# leftovers; two rewrites at once either both apply or one is refused
# (exit 2) and the other applies, and the archive always tests.
#   test_interrupted_writes.sh VOXPACK [STUB]
# STUB: a real stub for sea and package (default: a stand-in file).
# VOX_KILL_TRIES (default 30) kills per command, VOX_RACE_TRIES (default 20)
# tries per pair of writers.
set -u
voxpack=$(realpath "$1")
kill_tries=${VOX_KILL_TRIES:-30}
race_tries=${VOX_RACE_TRIES:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ms() { local t=${EPOCHREALTIME/[.,]/}; echo $((t / 1000)); }
nap() { sleep "$(($1 / 1000)).$(printf %03d $(($1 % 1000)))"; }
# The listing without times and stored sizes: folder entries carry the
# moment of the write, and a package's control archive the build time.
listing() {
  "$voxpack" list "$1" 2>&1 | sed -E -e 's/^( *[0-9]+) +[0-9]+ +([a-z]+) +[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}/\1 \2/' \
    -e 's/^( *[0-9]+) +[0-9]+ +([0-9]+ entr)/\1 \2/'
}
same_archive() { "$voxpack" test "$1" >/dev/null 2>&1 && [ "$(listing "$1")" = "$(listing "$2")" ]; }
size_of() { if [ -e "$1" ]; then stat -c %s "$1"; else echo absent; fi; }
# manifest DIR ARRAY: ARRAY[path] = md5 of each file below DIR.
manifest() {
  local -n into=$2
  into=()
  local sum path
  while read -r sum path; do into[$path]=$sum; done < <(cd "$1" && find . -type f -printf '%P\0' | xargs -0r md5sum)
}

# Inputs of a few MB, half incompressible, so that every command has a window.
m=$work/m
mkdir -p "$m/src/sub" "$m/pk" "$m/small"
head -c 3000000 /dev/urandom >"$m/src/rand.bin"
seq 1 350000 >"$m/src/text.txt"
seq 1 5000 >"$m/src/sub/more.txt"
head -c 1000000 /dev/urandom >"$m/add.bin"
head -c 1000000 /dev/urandom >"$m/add2.bin"
cp -a "$m/src/." "$m/pk/"
printf 'MZ stand-in installer' >"$m/pk/setup.exe"
printf 'MZ stand-in installer' >"$m/small/setup.exe"
if [ -n "${2:-}" ]; then cp "$2" "$m/stub.exe"; else python3 "$(dirname "$0")/fake_stub.py" "$m/stub.exe" 14C 300000; fi
( cd "$m" &&
  "$voxpack" create a.ach src -m store -c "kept note" &&
  "$voxpack" create old.ach small -m store &&
  "$voxpack" sea old.ach stub.exe old.exe &&
  "$voxpack" sea a.ach stub.exe setup.exe &&
  mkdir vols && cp a.ach vols/vol.ach && "$voxpack" split vols/vol.ach 1M &&
  "$voxpack" package small -o oldpkg.exe --stub stub.exe ) >/dev/null 2>"$work/err" || { cat "$work/err"; fail "the inputs could not be made"; exit 1; }

# kill_case NAME ARCHIVE FILES -- ARGS...: ARGS run in a copy of FILES (from
# $m; A:B copies A as B); ARCHIVE is the result to test. A normal run first
# shows what the command changes and how long it takes; then each try kills
# it after a random part of that time and sorts every file: an input must be
# as it was; a changed file must be all old (as before) or all new (as after
# the normal run, or the same archive but for folder times), though a file
# the command deletes may still be there beside a finished result; a new file
# that the normal run does not make must be a *.part or ~NAME leftover.
kill_case() {
  local name=$1 archive=$2
  shift 2
  local init=$work/init-$name f
  mkdir -p "$init"
  while [ "$1" != -- ]; do cp -a "$m/${1%%:*}" "$init/${1#*:}"; shift; done
  shift
  # The normal run works in the folder the tries use: a package records
  # where it was built.
  rm -rf "$work/done" "$work/t" && cp -a "$init" "$work/t"
  local start
  start=$(ms)
  (cd "$work/t" && "$voxpack" "$@" </dev/null >/dev/null 2>"$work/err")
  local rc=$? span=$(($(ms) - start))
  mv "$work/t" "$work/done"
  if [ $rc != 0 ] || ! "$voxpack" test "$work/done/$archive" >/dev/null 2>&1; then
    fail "$name: a normal run (exit $rc) does not give an archive that tests: $*"
    cat "$work/err"
    return
  fi
  local -A before after now changed
  manifest "$init" before
  manifest "$work/done" after
  for f in "${!before[@]}" "${!after[@]}"; do
    [ "${before[$f]-absent}" = "${after[$f]-absent}" ] || changed[$f]=1
    case /$f in */*.part | */*.part/* | */~*) [ -n "${after[$f]-}" ] && fail "$name: a normal run leaves $f" ;; esac
  done
  local try untouched=0 finished=0 broken=0 leftover=0 stale=0 pid problems olds news dies kept
  for try in $(seq 1 "$kill_tries"); do
    rm -rf "$work/t" && cp -a "$init" "$work/t"
    cd "$work/t"
    "$voxpack" "$@" </dev/null >/dev/null 2>&1 &
    pid=$!
    nap $((RANDOM % (span + 1)))
    kill -9 $pid 2>/dev/null
    wait $pid 2>/dev/null
    rc=$?
    cd "$work"
    manifest "$work/t" now
    problems="" olds="" news="" kept="" dies=0
    for f in $(printf '%s\n' "${!before[@]}" "${!after[@]}" "${!now[@]}" | sort -u); do
      local was=${before[$f]-absent} is=${now[$f]-absent} will=${after[$f]-absent}
      if [ -z "${changed[$f]-}" ]; then
        [ "$is" = "$was" ] && continue
        case /$f in */*.part | */*.part/* | */~*) [ "$was" = absent ] && { dies=1; continue; } ;; esac
        problems+=" $f: $( [ "$was" = absent ] && echo "new file" || echo "input changed") ($(size_of "t/$f") bytes);"
      elif [ "$is" = "$was" ] && [ "$will" = absent ]; then
        kept+=" $f"
      elif [ "$is" = "$was" ]; then
        olds+=" $f"
      elif [ "$is" = "$will" ] || { [ "$is" != absent ] && [ "$will" != absent ] && same_archive "t/$f" "done/$f"; }; then
        news+=" $f"
      else
        problems+=" $f: damaged ($(size_of "t/$f") bytes; before: $(size_of "init-$name/$f"), after a normal run: $(size_of "done/$f"));"
      fi
    done
    leftover=$((leftover + dies))
    # Several outputs cannot take their names in one step: a split stopped
    # while it names its volumes leaves some, whole, beside the unchanged
    # archive (the next split recognises their bytes and takes them), and an
    # unsea its stub without the archive.
    if [ -n "$olds" ] && [ -n "$news" ]; then
      if [ "$name" = split ] && [ "$olds" != "${olds/ a.ach/}" ] && [ -z "$(printf '%s\n' $news | grep -v '^a[0-9]*\.ach$')" ]; then
        news="" && leftover=$((leftover + 1))
        (cd "$work/t" && "$voxpack" split a.ach 1M >/dev/null 2>&1) || problems+=" the next split refuses the volumes left;"
      elif [ "$name" = unsea ] && [ "$news" = " un/Seastub.exe" ]; then
        news="" && leftover=$((leftover + 1))
      fi
    fi
    [ -n "$olds" ] && [ -n "$news" ] && problems+=" half done: new$news, as before$olds;"
    [ -z "$news" ] && [ $rc = 0 ] && problems+=" exit 0 but nothing changed;"
    [ $rc != 0 ] && [ $rc != 137 ] && problems+=" exit $rc;"
    if [ -n "$problems" ]; then
      fail "$name, try $try (exit $rc):$problems"
      broken=$((broken + 1))
    elif [ -n "$news" ]; then
      finished=$((finished + 1))
      [ -n "$kept" ] && stale=$((stale + 1))
    else
      untouched=$((untouched + 1))
    fi
  done
  echo "$name: $kill_tries kills in ${span} ms: $untouched as before, $finished finished ($stale keeping files it deletes), $broken broken; $leftover left *.part or ~NAME"
  passes=$((passes + kill_tries - broken))
}

kill_case create new.ach src -- create new.ach src/rand.bin src/text.txt src/sub -m store
kill_case create-force new.ach src add.bin a.ach:new.ach -- create --force new.ach src/rand.bin src/text.txt add.bin -m store
kill_case add a.ach a.ach add.bin -- add a.ach add.bin -m store
kill_case delete a.ach a.ach -- delete a.ach 'src\text.txt'
kill_case comment a.ach a.ach -- comment a.ach "a new comment"
kill_case split a.ach a.ach -- split a.ach 1M
kill_case merge vol.ach vols/.:. -- merge vol.ach
kill_case sea-force out.exe a.ach stub.exe old.exe:out.exe -- sea a.ach stub.exe out.exe --force
kill_case unsea un/a.ach setup.exe -- unsea setup.exe un
kill_case package-force p.exe pk stub.exe oldpkg.exe:p.exe -- package pk -o p.exe --stub stub.exe --force -l 1

# Two writers on one archive. A change is "add NAME", "delete NAME" or
# "comment TEXT". A writer that exits 0 has its change in the archive, one
# refused (exit 2, for the other) has not, and nothing else changed.
names_of() { listing "$1" | sed -nE 's/^ *[0-9]+ +[a-z]+ +(.*)$/\1/p' | sort; }
comment_of() { "$voxpack" list "$1" 2>/dev/null | sed -n 's/^Comment: //p'; }
as_args() {
  case $1 in
    add) echo "add r.ach $2 -m store" ;;
    *) echo "$1 r.ach $2" ;;
  esac
}
# applied NAMES COMMENT CHANGE...: whether the archive listed holds the change.
applied() {
  case $3 in
    add) grep -qxF -- "$4" <<<"$1" ;;
    delete) ! grep -qxF -- "$4" <<<"$1" ;;
    comment) [ "$2" = "$4" ] ;;
  esac
}
reset_race() { rm -rf "$work/r" && mkdir -p "$work/r" && cp "$m/a.ach" "$work/r/r.ach" && cp "$m/add.bin" "$m/add2.bin" "$work/r/"; }
race_pair() {
  local one=$1 two=$2 try first second both=0 refused=0 broken=0 start span
  local base_names base_comment names comment want want_comment problems i rc err pid1 pid2 rc1 rc2 hit
  base_names=$(names_of "$m/a.ach")
  base_comment=$(comment_of "$m/a.ach")
  reset_race
  start=$(ms)
  (cd "$work/r" && "$voxpack" $(as_args $one) >/dev/null 2>&1)
  span=$(($(ms) - start))
  for try in $(seq 1 "$race_tries"); do
    # Either may start first, the other within the first half of its run.
    if ((RANDOM % 2)); then first=$one second=$two; else first=$two second=$one; fi
    reset_race
    cd "$work/r"
    "$voxpack" $(as_args $first) </dev/null >/dev/null 2>"$work/err1" &
    pid1=$!
    nap $((RANDOM % (span / 2 + 1)))
    "$voxpack" $(as_args $second) </dev/null >/dev/null 2>"$work/err2" &
    pid2=$!
    wait $pid1
    rc1=$?
    wait $pid2
    rc2=$?
    cd "$work"
    names=$(names_of r/r.ach) comment=$(comment_of r/r.ach) problems=""
    want=$base_names want_comment=$base_comment
    for i in 1 2; do
      if [ $i = 1 ]; then set -- $first; rc=$rc1 err=$work/err1; else set -- $second; rc=$rc2 err=$work/err2; fi
      applied "$names" "$comment" "$@" && hit=present || hit=absent
      case $rc:$hit in
        0:present) ;;
        2:absent) grep -q "is being changed by another process" "$err" || problems+=" '$*' exit 2: $(tr '\n' ' ' <"$err");" ;;
        *) problems+=" '$*' exit $rc, change $hit: $(tr '\n' ' ' <"$err");" ;;
      esac
      [ $hit = present ] || continue
      case $1 in
        add) want=$(printf '%s\n%s\n' "$want" "$2" | sort) ;;
        delete) want=$(grep -vxF -- "$2" <<<"$want") ;;
        comment) want_comment=$2 ;;
      esac
    done
    [ $rc1 = 2 ] && [ $rc2 = 2 ] && problems+=" both refused;"
    "$voxpack" test r/r.ach >/dev/null 2>&1 || problems+=" the archive does not test;"
    [ "$names" = "$want" ] || problems+=" entries $(tr '\n' ' ' <<<"$names"), wanted $(tr '\n' ' ' <<<"$want");"
    [ "$comment" = "$want_comment" ] || problems+=" comment '$comment', wanted '$want_comment';"
    [ "$(ls -A r | tr '\n' ' ')" = "add.bin add2.bin r.ach " ] || problems+=" files left: $(ls -A r | tr '\n' ' ');"
    if [ -n "$problems" ]; then
      fail "race '$first' + '$second', try $try (exits $rc1, $rc2):$problems"
      broken=$((broken + 1))
    elif [ $rc1 = 0 ] && [ $rc2 = 0 ]; then
      both=$((both + 1))
    else
      refused=$((refused + 1))
    fi
  done
  echo "race $one + $two: $race_tries tries: $both both applied, $refused one refused, $broken broken"
  passes=$((passes + race_tries - broken))
}

race_pair "add add.bin" "add add2.bin"
race_pair "add add.bin" "delete src\\text.txt"
race_pair "add add.bin" "comment raced"

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
