#!/usr/bin/env bash
# Peak resident memory of the launcher's two bulk operations, each at a
# small and a large input, so a peak that grows with the input shows as a
# ratio well above 1: UnzipToFolder (30 and 300 MB packages) and a download
# (32 and 512 MiB). Figures are max RSS from /usr/bin/time.
#   launcher/bench/peak_memory_bench.sh [BUILD_DIR]   (a Release build; default build-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-${BENCH_BUILD:-$root/build-bench}}" && pwd)
work=${BENCH_WORK:-/tmp/peak-memory}
mkdir -p "$work"
cmake --build "$build" -j2 --target unzip_bench http_download_bench >/dev/null

peak_kb() {  # peak_kb COMMAND... -> max RSS in KiB
  /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
  cat "$work/rss"
}
mib() { awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }'; }

declare -A unzip_kb unzip_mb
for size in small large; do
  pkg="$work/package-$size"
  if [[ $size == small ]]; then BENCH_QUICK=1 python3 "$root/zip/bench/make_package.py" "$pkg" >/dev/null
  else BENCH_QUICK=0 python3 "$root/zip/bench/make_package.py" "$pkg" >/dev/null; fi
  rm -rf "$work/out"
  unzip_kb[$size]=$(peak_kb "$build/zip/unzip_bench" "$pkg/package.zip" "$work/out")
  unzip_mb[$size]=$(( $(stat -c %s "$pkg/package.zip") / 1000000 ))
  rm -rf "$work/out"
done
echo "BENCH|UnzipToFolder, peak RSS against a tenth of the package|${unzip_mb[large]} MB package|$(mib "${unzip_kb[large]}")|same, ${unzip_mb[small]} MB|$(mib "${unzip_kb[small]}")|MiB|ratio<=1.25"

: > "$work/blob"
mkfifo "$work/in.$$" "$work/out.$$"
python3 "$root/launcher/http/bench/serve_file.py" "$work/blob" <"$work/in.$$" >"$work/out.$$" &
server=$!
trap 'exec 3>&- 2>/dev/null; kill $server 2>/dev/null; rm -f "$work/in.$$" "$work/out.$$" "$work/blob" "$work/dl"' EXIT
exec 3>"$work/in.$$"
read -r _ port <"$work/out.$$"
declare -A download_kb
for mib_size in 32 512; do
  head -c $((mib_size << 20)) /dev/urandom > "$work/blob"  # the server serves whatever the path holds now
  download_kb[$mib_size]=$(peak_kb "$build/launcher/http/http_download_bench" "http://127.0.0.1:$port/blob" "$work/dl")
  rm -f "$work/dl"
done
echo "BENCH|HttpDownloader::Download (launcher download), peak RSS against 1/16 of the size|512 MiB|$(mib "${download_kb[512]}")|same, 32 MiB|$(mib "${download_kb[32]}")|MiB|ratio<=1.25"
