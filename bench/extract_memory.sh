#!/usr/bin/env bash
# Peak memory of `voxpack extract` and `voxpack test` for a small and a large
# archive: the engine moves data through fixed buffers, so both figures must
# be the same whatever the archive's size.
#   bench/extract_memory.sh [LARGE_MB]   (default 1024)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
large=${1:-1024}
build=$ROOT/build/bench
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target voxpack >/dev/null
voxpack=$build/tools/voxpack/voxpack
work=$(mktemp -d "${TMPDIR:-/tmp}/voxkit-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "| archive | extract peak RSS (MiB) | extract s | test peak RSS (MiB) | test s |"
echo "|---|---:|---:|---:|---:|"
for mb in 10 "$large"; do
  python3 "$ROOT/bench/make_big_archive.py" "$work/a.ach" "$mb"
  rm -rf "$work/out"
  /usr/bin/time -f "%M %e" -o "$work/t1" "$voxpack" extract "$work/a.ach" -o "$work/out" >/dev/null
  /usr/bin/time -f "%M %e" -o "$work/t2" "$voxpack" test "$work/a.ach" >/dev/null
  read -r rss1 s1 <"$work/t1"
  read -r rss2 s2 <"$work/t2"
  printf "| %s MiB | %.1f | %s | %.1f | %s |\n" "$mb" "$(echo "$rss1/1024" | bc -l)" "$s1" "$(echo "$rss2/1024" | bc -l)" "$s2"
  rm -rf "$work/out" "$work/a.ach"
done
