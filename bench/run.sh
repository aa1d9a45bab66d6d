#!/usr/bin/env bash
# The one place for voxkit's figures: voxpack next to its peers on the same
# generated corpus, and the same payload packaged by our stub and by NSIS
# (zlib), each installed unattended under Wine. Prints one markdown table of
# wall time, size and peak memory, each with its ratio to voxpack's row of
# the same kind. Not a test: the figures vary with the machine; compare only
# figures from one run.
#
#   bench/run.sh [MEGABYTES [LARGE_MEGABYTES]]   (defaults 100 and 1024)
#
# LARGE_MEGABYTES sizes the archive and package of the memory rows, which
# must show the same peak as their 10 MiB twins. BENCH_NO_WINE=1 leaves out
# the rows that need the Windows build and Wine. BENCH_ONLY picks groups of
# rows (default: all): corpus (create, extract and test of the corpus),
# small (the same for 20,000 files of 0.2-2.8 KB), append (adding N files to
# an archive of N, and deleting one entry of N, for N = 1,000, 4,000 and
# 16,000), list, memory and package (Wine), e.g. BENCH_ONLY="small append".
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
megabytes=${1:-100}
large=${2:-1024}
only=" ${BENCH_ONLY:-corpus small append list memory package} "
want() { [[ "$only" == *" $1 "* ]]; }
with_wine=$([ "${BENCH_NO_WINE:-0}" = 1 ] || ! want package && echo 0 || echo 1)
threads=$(nproc)

tools_missing() {
  local t
  for t in zip unzip 7z pigz makensis bc; do command -v "$t" >/dev/null || return 0; done
  [ ! -x /usr/bin/time ]
}
if tools_missing; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq zip unzip p7zip-full pigz nsis time bc >/dev/null
fi

echo "bench: building voxpack (Release)" >&2
build=$ROOT/build/bench
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target voxpack >/dev/null
voxpack=$build/tools/voxpack/voxpack
win32=$ROOT/build/win32
if [ "$with_wine" = 1 ]; then
  echo "bench: building voxstub.exe" >&2
  (cd "$ROOT" && cmake --preset win32 >/dev/null && cmake --build --preset win32 --target voxstub sample_setup >/dev/null)
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/voxkit-bench.XXXXXX")
finish() {
  [ "$with_wine" = 1 ] && bash "$ROOT/scripts/wine-session" stop "$win32" >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT
mkdir "$work/trash"
# Outputs are moved aside, not deleted, until the run ends: for a while
# after a large tree is deleted the file system is slower at creating
# files, and that cost would fall on whichever command came next.
discarded=0
discard() {
  local path
  for path in "$@"; do
    [ -e "$path" ] || continue
    discarded=$((discarded + 1))
    mv "$path" "$work/trash/$discarded"
  done
}
if want corpus || [ "$with_wine" = 1 ]; then python3 "$ROOT/bench/make_corpus.py" "$work/corpus" "$megabytes" >&2; fi
cd "$work"

# One row per measurement: kind|name|seconds|bytes|peak KiB. The first row
# of each kind is voxpack's, the one the ratios refer to.
#
# Commands are queued (queue KIND NAME OUTPUT COMMAND...) and run by
# run_queue RUNS in rounds, each command once per round, so that a drift of
# the machine (page cache, write-back) falls on all of them alike. Each run
# starts with its output moved aside; the median time and the highest peak
# are kept.
runs=${BENCH_RUNS:-3}
rows=()
queued=0
queue() {
  local kind=$1 name=$2 output=$3
  shift 3
  q_kind[queued]=$kind q_name[queued]=$name q_out[queued]=$output
  declare -ga "q_cmd_$queued=()"
  local -n command="q_cmd_$queued"
  command=("$@")
  queued=$((queued + 1))
}
run_queue() {
  local count=$1 round i seconds kb
  local -a times peaks
  for ((round = 1; round <= count; round++)); do
    for ((i = 0; i < queued; i++)); do
      local -n command="q_cmd_$i"
      echo "bench: ${q_name[i]} ($round/$count)" >&2
      [ -n "${q_out[i]}" ] && discard "${q_out[i]}"
      sync
      /usr/bin/time -f "%e %M" -o "$work/t" "${command[@]}" >/dev/null 2>"$work/err" || {
        cat "$work/err" >&2
        echo "bench: '${q_name[i]}' failed" >&2
        exit 1
      }
      read -r seconds kb <"$work/t"
      times[i]+="$seconds "
      [ "$kb" -gt "${peaks[i]:-0}" ] && peaks[i]=$kb
      unset -n command
    done
  done
  for ((i = 0; i < queued; i++)); do
    seconds=$(printf '%s\n' ${times[i]} | sort -n | sed -n "$(((count + 1) / 2))p")
    local bytes="-"
    [ -n "${q_out[i]}" ] && bytes=$(du -sb "${q_out[i]}" | cut -f1)
    rows+=("${q_kind[i]}|${q_name[i]}|$seconds|$bytes|${peaks[i]}")
  done
  queued=0
}

# same_tree EXPECTED ACTUAL WHAT: the package's own control archive
# (voxctrl.ach) lands beside the payload and is not compared.
same_tree() {
  diff -r -x voxctrl.ach "$1" "$2" >/dev/null || { echo "bench: $3 differs from the corpus" >&2; exit 1; }
}

# Archivers on the corpus.
bench_corpus() {
  queue create "voxpack create -j $threads (deflate 6)" out.ach "$voxpack" create out.ach corpus -j "$threads"
  queue create "voxpack create -j 1" out1.ach "$voxpack" create out1.ach corpus -j 1
  queue create "zip -6 -r" out.zip zip -q -6 -r out.zip corpus
  queue create "7z a -tzip -mx=5" out7.zip 7z a -tzip -mx=5 out7.zip corpus
  queue create "tar + pigz -6 ($threads threads)" out.tgz sh -c "tar cf - corpus | pigz -6 -p $threads >out.tgz"
  queue create "tar + gzip -6" out1.tgz sh -c "tar cf - corpus | gzip -6 >out1.tgz"
  run_queue "$runs"

  queue extract "voxpack extract" x1 "$voxpack" extract out.ach -o x1
  queue extract "unzip" x2 unzip -q out.zip -d x2
  queue extract "7z x (7z's zip)" x3 7z x -ox3 out7.zip
  queue extract "pigz -dc + tar x" x4 sh -c "mkdir x4 && pigz -dc out.tgz | tar xf - -C x4"
  run_queue "$runs"
  same_tree corpus x1/corpus "voxpack's extraction"
  discard x2 x3 x4

  queue test "voxpack test" "" "$voxpack" test out.ach
  queue test "unzip -t" "" unzip -tq out.zip
  queue test "7z t (7z's zip)" "" 7z t out7.zip
  run_queue "$runs"
}

# Archivers on 20,000 small files, where the cost of each file counts,
# not the bytes.
bench_small() {
  python3 "$ROOT/bench/make_corpus.py" --small small 20000 >&2
  queue small-create "voxpack create -j 1, 20,000 small files" s1.ach "$voxpack" create s1.ach small -j 1
  queue small-create "voxpack create -j $threads" s.ach "$voxpack" create s.ach small -j "$threads"
  queue small-create "zip -6 -r" s.zip zip -q -6 -r s.zip small
  queue small-create "7z a -tzip -mx=5" s7.zip 7z a -tzip -mx=5 s7.zip small
  run_queue "$runs"
  queue small-extract "voxpack extract, 20,000 small files" sx1 "$voxpack" extract s.ach -o sx1
  queue small-extract "unzip" sx2 unzip -q s.zip -d sx2
  queue small-extract "7z x (7z's zip)" sx3 7z x -osx3 s7.zip
  run_queue "$runs"
  same_tree small sx1/small "voxpack's extraction of the small files"
  discard sx1 sx2 sx3
  queue small-test "voxpack test, 20,000 small files" "" "$voxpack" test s.ach
  queue small-test "unzip -t" "" unzip -tq s.zip
  queue small-test "7z t (7z's zip)" "" 7z t s7.zip
  run_queue "$runs"
  discard small s.ach s1.ach s.zip s7.zip
}

# Growing and shrinking archives: N files added to an archive of N, and one
# entry of N deleted. Each run rewrites a fresh copy of the archive (the
# copy is timed on both sides alike).
bench_append() {
  local n
  for n in 1000 4000 16000; do
    python3 "$ROOT/bench/make_corpus.py" --small "grow$n/a" "$n" 1 >&2
    python3 "$ROOT/bench/make_corpus.py" --small "grow$n/b" "$n" 2 >&2
    (cd "grow$n" && "$voxpack" create ../grow$n.ach a >/dev/null && zip -q -r ../grow$n.zip a)
    queue "add $n" "voxpack add $n files to $n" "" sh -c "cd grow$n && cp ../grow$n.ach ../t.ach && '$voxpack' add ../t.ach b -j 1"
    queue "add $n" "zip -r, $n to $n" "" sh -c "cd grow$n && cp ../grow$n.zip ../t.zip && zip -q -r ../t.zip b"
    queue "delete $n" "voxpack delete 1 entry of $n" "" sh -c "cp grow$n.ach t.ach && '$voxpack' delete t.ach 'a\\d000\\f00007.txt'"
    queue "delete $n" "zip -d, 1 of $n" "" sh -c "cp grow$n.zip t.zip && zip -q -d t.zip a/d000/f00007.txt"
    run_queue "$runs"
    discard "grow$n" "grow$n.ach" "grow$n.zip" t.ach t.zip
  done
}

# Listing a large directory: 100,000 one-line files in 100 folders.
bench_list() {
  python3 - <<'PY'
import os
for d in range(100):
    os.makedirs(f"many/dir{d:03d}")
    for f in range(1000):
        with open(f"many/dir{d:03d}/file{f:04d}.txt", "w") as out:
            out.write(f"{d} {f}\n")
PY
  "$voxpack" create many.ach many -j "$threads" >/dev/null
  zip -q -r many.zip many
  queue list "voxpack list, 100,000 files" "" "$voxpack" list many.ach
  queue list "unzip -l" "" unzip -l many.zip
  queue list "7z l" "" 7z l many.zip
  run_queue "$runs"
  discard many many.ach many.zip
}

# Extraction memory does not grow with the archive.
bench_memory() {
  for mb in 10 "$large"; do
    python3 "$ROOT/bench/make_big_archive.py" "big$mb.ach" "$mb"
    queue memory "voxpack extract, $mb MiB archive" "" "$voxpack" extract "big$mb.ach" -o "xb$mb"
    run_queue 1
    discard "xb$mb" "big$mb.ach"
  done
}

want corpus && bench_corpus
want small && bench_small
want append && bench_append
want list && bench_list
want memory && bench_memory

if [ "$with_wine" = 1 ]; then
  bash "$ROOT/scripts/wine-session" start "$win32" >/dev/null
  drive=$win32/wineprefix/drive_c
  stub=$win32/app/voxstub.exe
  # The same payload for both installers: the corpus and a setup program.
  mkdir payload
  cp -al corpus/. payload/
  cp "$win32/examples/setup.exe" payload/
  cat >bench.nsi <<'EOF'
Unicode true
SetCompressor zlib
Name "Bench"
OutFile "nsis.exe"
InstallDir "C:\bench\nsis"
RequestExecutionLevel user
Section
  SetOutPath "$INSTDIR"
  File /r "payload/*"
SectionEnd
EOF
  queue package "voxpack package -j $threads" vox.exe "$voxpack" package payload -o vox.exe --stub "$stub" \
    --default-target 'C:\bench\vox' -j "$threads"
  queue package "makensis (zlib)" nsis.exe makensis -V1 bench.nsi
  run_queue "$runs"
  queue install "package /QUIET under Wine" "$drive/bench/vox" "$win32/wine-run" vox.exe /QUIET
  queue install "NSIS /S under Wine" "$drive/bench/nsis" "$win32/wine-run" nsis.exe /S
  run_queue "$runs"
  same_tree payload "$drive/bench/vox" "the package's install"
  same_tree payload "$drive/bench/nsis" "the NSIS install"
  discard "$drive/bench"

  # Installation memory does not grow with the package.
  for mb in 10 "$large"; do
    discard big && mkdir big
    cp "$win32/examples/setup.exe" big/
    head -c $((mb << 19)) /dev/urandom >big/random.bin
    yes "voxkit bench line: the same words again" | head -c $((mb << 19)) >big/text.txt || true
    "$voxpack" package big -o "big$mb.exe" --stub "$stub" --default-target 'C:\bench\big' -j "$threads" >/dev/null
    queue wine-memory "package /QUIET under Wine, $mb MiB package" "" "$win32/wine-run" "big$mb.exe" /QUIET
    run_queue 1
    discard "$drive/bench" big "big$mb.exe"
  done
fi

# ratio VALUE REFERENCE: VALUE / REFERENCE with two decimals, "-" when
# either is missing.
ratio() {
  if [ "$1" = "-" ] || [ "$2" = "-" ] || [ "$2" = 0 ]; then echo "-"; else echo "scale=2; $1 / $2" | bc; fi
}
mib() { [ "$1" = "-" ] && echo "-" || echo "scale=2; $1 / 1048576" | bc; }

echo
echo "voxstub.exe: $( [ -f "$win32/app/voxstub.exe" ] && stat -c %s "$win32/app/voxstub.exe" || echo '-') bytes; $threads cores"
echo
corpus_files=$( [ -d corpus ] && find corpus -type f | wc -l || echo "no")
echo "| Operation ($megabytes MiB corpus, $corpus_files files) | Wall s | × voxpack | Size MiB | × voxpack | Peak MiB | × voxpack |"
echo "|---|---:|---:|---:|---:|---:|---:|"
declare -A ref_s ref_b ref_k
for row in "${rows[@]}"; do
  IFS='|' read -r kind name seconds bytes kb <<<"$row"
  if [ -z "${ref_s[$kind]:-}" ]; then ref_s[$kind]=$seconds ref_b[$kind]=$bytes ref_k[$kind]=$kb; fi
  printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$seconds" "$(ratio "$seconds" "${ref_s[$kind]}")" \
    "$(mib "$bytes")" "$(ratio "$bytes" "${ref_b[$kind]}")" "$(echo "scale=1; $kb / 1024" | bc)" \
    "$(ratio "$kb" "${ref_k[$kind]}")"
done
