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
# the rows that need the Windows build and Wine.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
megabytes=${1:-100}
large=${2:-1024}
with_wine=$([ "${BENCH_NO_WINE:-0}" = 1 ] && echo 0 || echo 1)
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
python3 "$ROOT/bench/make_corpus.py" "$work/corpus" "$megabytes" >&2
cd "$work"

# One row per measurement: kind|name|seconds|bytes|peak KiB. The first row
# of each kind is voxpack's, the one the ratios refer to. A command runs
# RUNS times (its output removed before each run): the median time and the
# highest peak are kept.
runs=${BENCH_RUNS:-3}
rows=()
measure_runs() {
  local count=$1 kind=$2 name=$3 output=$4
  shift 4
  echo "bench: $name" >&2
  local times=() peak=0 i seconds kb bytes="-"
  for ((i = 0; i < count; i++)); do
    [ -n "$output" ] && rm -rf "$output"
    sync
    /usr/bin/time -f "%e %M" -o "$work/t" "$@" >/dev/null 2>"$work/err" || {
      cat "$work/err" >&2
      echo "bench: '$name' failed" >&2
      exit 1
    }
    read -r seconds kb <"$work/t"
    times+=("$seconds")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  seconds=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((count + 1) / 2))p")
  [ -n "$output" ] && bytes=$(du -sb "$output" | cut -f1)
  rows+=("$kind|$name|$seconds|$bytes|$peak")
}
measure() { measure_runs "$runs" "$@"; }

# same_tree EXPECTED ACTUAL WHAT: the package's own control archive
# (voxctrl.ach) lands beside the payload and is not compared.
same_tree() {
  diff -r -x voxctrl.ach "$1" "$2" >/dev/null || { echo "bench: $3 differs from the corpus" >&2; exit 1; }
}

# Archivers.
measure create "voxpack create -j $threads (deflate 6)" out.ach "$voxpack" create out.ach corpus -j "$threads"
measure create "voxpack create -j 1" out1.ach "$voxpack" create out1.ach corpus -j 1
cmp -s out.ach out1.ach || echo "bench: note: -j $threads and -j 1 differ (folder entries carry the time of the add)" >&2
measure create "zip -6 -r" out.zip zip -q -6 -r out.zip corpus
measure create "7z a -tzip -mx=5" out7.zip 7z a -tzip -mx=5 out7.zip corpus
measure create "tar + pigz -6 ($threads threads)" out.tgz sh -c "tar cf - corpus | pigz -6 -p $threads >out.tgz"
measure create "tar + gzip -6" out1.tgz sh -c "tar cf - corpus | gzip -6 >out1.tgz"

measure extract "voxpack extract" x1 "$voxpack" extract out.ach -o x1
measure extract "unzip" x2 unzip -q out.zip -d x2
measure extract "7z x (7z's zip)" x3 7z x -ox3 out7.zip
measure extract "pigz -dc + tar x" x4 sh -c "mkdir x4 && pigz -dc out.tgz | tar xf - -C x4"
same_tree corpus x1/corpus "voxpack's extraction"
rm -rf x2 x3 x4

measure test "voxpack test" "" "$voxpack" test out.ach
measure test "unzip -t" "" unzip -tq out.zip
measure test "7z t (7z's zip)" "" 7z t out7.zip

# Extraction memory does not grow with the archive.
for mb in 10 "$large"; do
  python3 "$ROOT/bench/make_big_archive.py" "big$mb.ach" "$mb"
  measure_runs 1 memory "voxpack extract, $mb MiB archive" "" "$voxpack" extract "big$mb.ach" -o "xb$mb"
  rm -rf "xb$mb" "big$mb.ach"
done

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
  measure package "voxpack package -j $threads" vox.exe "$voxpack" package payload -o vox.exe --stub "$stub" \
    --default-target 'C:\bench\vox' -j "$threads"
  measure package "makensis (zlib)" nsis.exe makensis -V1 bench.nsi
  measure install "package /QUIET under Wine" "$drive/bench/vox" "$win32/wine-run" vox.exe /QUIET
  measure install "NSIS /S under Wine" "$drive/bench/nsis" "$win32/wine-run" nsis.exe /S
  same_tree payload "$drive/bench/vox" "the package's install"
  same_tree payload "$drive/bench/nsis" "the NSIS install"
  rm -rf "$drive/bench"

  # Installation memory does not grow with the package.
  for mb in 10 "$large"; do
    rm -rf big && mkdir big
    cp "$win32/examples/setup.exe" big/
    head -c $((mb << 19)) /dev/urandom >big/random.bin
    yes "voxkit bench line: the same words again" | head -c $((mb << 19)) >big/text.txt || true
    "$voxpack" package big -o "big$mb.exe" --stub "$stub" --default-target 'C:\bench\big' -j "$threads" >/dev/null
    measure_runs 1 wine-memory "package /QUIET under Wine, $mb MiB package" "" "$win32/wine-run" "big$mb.exe" /QUIET
    rm -rf "$drive/bench" big "big$mb.exe"
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
echo "| Operation ($megabytes MiB corpus, $(find corpus -type f | wc -l) files) | Wall s | × voxpack | Size MiB | × voxpack | Peak MiB | × voxpack |"
echo "|---|---:|---:|---:|---:|---:|---:|"
declare -A ref_s ref_b ref_k
for row in "${rows[@]}"; do
  IFS='|' read -r kind name seconds bytes kb <<<"$row"
  if [ -z "${ref_s[$kind]:-}" ]; then ref_s[$kind]=$seconds ref_b[$kind]=$bytes ref_k[$kind]=$kb; fi
  printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$seconds" "$(ratio "$seconds" "${ref_s[$kind]}")" \
    "$(mib "$bytes")" "$(ratio "$bytes" "${ref_b[$kind]}")" "$(echo "scale=1; $kb / 1024" | bc)" \
    "$(ratio "$kb" "${ref_k[$kind]}")"
done
