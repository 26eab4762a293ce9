#!/usr/bin/env bash
# Peak resident memory of the operations that must not grow with their
# input: UnzipToFolder, a launcher download and the MP4 recorder, each at a
# small and a large input size, so a size-dependent peak shows at once.
#   scripts/peak-memory.sh [BUILD_DIR]   (a Release build; default build-bench)
# Uses the benchmark drivers and their inputs (the large ones are made on
# first use: a 300 MB package, a 1 GB recording). Figures are max RSS from
# /usr/bin/time; prints one "MEMORY|operation|input|peak MiB" line each.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
work=${MEMORY_WORK:-/tmp/peak-memory}
mkdir -p "$work"
cmake --build "$build" -j2 --target unzip_bench http_download_bench mp4_bench >/dev/null

peak() {  # peak() LABEL INPUT COMMAND... -> MEMORY line
  local label=$1 input=$2; shift 2
  /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
  echo "MEMORY|$label|$input|$(awk '{ printf "%.1f", $1 / 1024 }' "$work/rss")"
}

# The packages of make bench (quick and full) are reused when present.
for size in small large; do
  pkg=/tmp/bench-work/launcher_manifest_bench_run_bench$([[ $size == small ]] && echo -quick || true)
  if [[ $size == small ]]; then BENCH_QUICK=1 python3 "$root/launcher/zip/bench/make_package.py" "$pkg"
  else python3 "$root/launcher/zip/bench/make_package.py" "$pkg"; fi
  rm -rf "$work/out"
  peak "UnzipToFolder" "$(( $(stat -c %s "$pkg/package.zip") / 1000000 )) MB package" \
    "$build/launcher/zip/unzip_bench" "$pkg/package.zip" "$work/out"
  rm -rf "$work/out"
done

: > "$work/blob"
mkfifo "$work/in.$$" "$work/out.$$"
python3 "$root/launcher/http/bench/serve_file.py" "$work/blob" <"$work/in.$$" >"$work/out.$$" &
server=$!
trap 'exec 3>&- 2>/dev/null; kill $server 2>/dev/null; rm -f "$work/in.$$" "$work/out.$$" "$work/blob" "$work/dl"' EXIT
for mib in 32 512; do
  head -c $((mib << 20)) /dev/urandom > "$work/blob.$mib"
done
exec 3>"$work/in.$$"
read -r _ port <"$work/out.$$"
for mib in 32 512; do
  cp "$work/blob.$mib" "$work/blob"  # the server serves whatever the path holds now
  peak "HttpDownloader::Download (launcher download)" "$mib MiB" \
    "$build/launcher/http/http_download_bench" "http://127.0.0.1:$port/blob" "$work/dl"
  rm -f "$work/dl" "$work/blob.$mib"
done

# The recorder: the MP4 benchmark's inputs (6 and 60 minutes of H.264 + AAC).
for input in /tmp/bench-work/vidscribe_mp4_bench_run-mp4-bench-quick/loop5.mp4 \
             /tmp/bench-work/vidscribe_mp4_bench_run-mp4-bench/loop59.mp4; do
  [[ -s "$input" ]] || { echo "peak-memory: $input missing (run make bench, and BENCH_QUICK=1 make bench)" >&2; continue; }
  peak "Mp4Writer recording (mp4_bench record)" "$(( $(stat -c %s "$input") / 1000000 )) MB" \
    "$build/vidscribe/mp4/mp4_bench" record "$input" "$work/rec.mp4"
  rm -f "$work/rec.mp4"
done
