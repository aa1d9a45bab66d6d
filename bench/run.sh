#!/usr/bin/env bash
# Times voxpack next to zip/unzip and 7z on the same corpus and prints one
# markdown table: wall time, output size and peak memory. Not a test: the
# figures vary with the machine; compare only figures from one run.
#   bench/run.sh [MEGABYTES]   (default 100)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
megabytes=${1:-100}
if ! command -v 7z >/dev/null || ! command -v zip >/dev/null || ! command -v unzip >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq p7zip-full zip unzip time bc >/dev/null
fi
build=$ROOT/build/bench
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target voxpack >/dev/null
voxpack=$build/tools/voxpack/voxpack
work=$(mktemp -d "${TMPDIR:-/tmp}/voxkit-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 "$ROOT/bench/make_corpus.py" "$work/corpus" "$megabytes" >&2
cd "$work"

# measure NAME OUTPUT COMMAND...: runs the command, records time and memory.
rows=()
measure() {
  local name=$1 output=$2
  shift 2
  sync
  /usr/bin/time -f "%e %M" -o "$work/t" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
  read -r seconds kb <"$work/t"
  local size="-"
  [ -n "$output" ] && size=$(echo "scale=2; $(du -sb "$output" | cut -f1) / 1048576" | bc)
  rows+=("| $name | $seconds | $size | $(echo "scale=1; $kb / 1024" | bc) |")
}

measure "voxpack create (deflate 6)" out.ach "$voxpack" create out.ach corpus
measure "zip -6 -r" out.zip zip -q -6 -r out.zip corpus
measure "7z a -tzip -mx=5" out7.zip 7z a -tzip -mx=5 out7.zip corpus
measure "voxpack extract" x1 "$voxpack" extract out.ach -o x1
measure "unzip" x2 unzip -q out.zip -d x2
measure "7z x (zip)" x3 7z x -ox3 out7.zip
measure "voxpack test" "" "$voxpack" test out.ach
measure "unzip -t" "" unzip -tq out.zip
diff -r corpus x1/corpus >/dev/null || { echo "bench: voxpack's extraction differs from the corpus" >&2; exit 1; }

echo "| Operation ($megabytes MiB corpus, $(find corpus -type f | wc -l) files) | Wall s | Size MiB | Peak MiB |"
echo "|---|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
