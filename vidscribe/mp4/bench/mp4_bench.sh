#!/usr/bin/env bash
# MP4 benchmarks, measured side by side in one run:
#  1. writing a ~1 GB, one-hour H.264 + AAC recording with Mp4Writer against
#     `ffmpeg -c copy` into MP4 from the same input (target: at most 1.2x),
#     with peak memory and table bytes per sample;
#  2. opening a one-hour MP4 (target: under 50 ms).
# Usage: mp4_bench.sh BUILD_DIR [RUNS]   (KEEP=1 keeps the media)
set -euo pipefail
# BENCH_QUICK=1: a six-minute input (about 100 MB) and one run.
build=$(cd "${1:-${BENCH_BUILD:?usage: mp4_bench.sh BUILD_DIR [RUNS]}}" && pwd)
runs=${2:-5}
loops=59
if [[ "${BENCH_QUICK:-0}" == 1 ]]; then runs=${2:-1} loops=5; fi
[[ -n "${BENCH_BUILD:-}" ]] && cmake --build "$build" --target mp4_bench -j2 >/dev/null
bench="$build/vidscribe/mp4/mp4_bench"
[[ -x "$bench" ]] || { echo "run-mp4-bench: build mp4_bench first ($bench missing)"; exit 1; }
work=${BENCH_DIR:-${BENCH_WORK:-/tmp/vidscribe-mp4-bench}}
mkdir -p "$work"
[[ "${KEEP:-0}" == 1 ]] || trap 'rm -f "$work"/ours.mp4 "$work"/ffmpeg.mp4 "$work"/tables.mp4' EXIT

input="$work/loop$loops.mp4"
if [[ ! -s "$input" ]]; then
  echo "== making a one-minute clip and looping it to one hour (about 1 GB)"
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi -i "sine=frequency=440:sample_rate=44100" \
    -t 60 -vf "noise=alls=30:allf=t" -c:v libx264 -preset ultrafast -bf 2 -g 50 -b:v 2200k -maxrate 2200k \
    -bufsize 2200k -pix_fmt yuv420p -c:a aac -b:a 64k -ac 2 "$work/clip.mp4"
  ffmpeg -v error -y -stream_loop $loops -i "$work/clip.mp4" -c copy -map 0 "$input"
  rm -f "$work/clip.mp4"
fi
size_mb=$(stat -c %s "$input" | awk '{printf "%.0f", $1 / 1e6}')
echo "input: $size_mb MB"
# Our side is fed the frames a live source would send, read from one file,
# so its figures are the writer's and not those of reading the input.
frames="$work/loop$loops.frames"
[[ -s "$frames" ]] || "$bench" frames "$input" "$frames"
cat "$input" "$frames" > /dev/null  # both sides start from a warm page cache

timed() {  # prints "seconds peak-KiB"
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" > "$work/out.txt"
  cat "$work/time.txt"
}

ffmpeg_best=999999 ours_best=999999 ffmpeg_kb=0 ours_kb=0
for ((i = 1; i <= runs; i++)); do
  read -r f_s f_kb < <(timed ffmpeg -v error -y -i "$input" -c copy -map 0 "$work/ffmpeg.mp4")
  read -r o_s o_kb < <(timed "$bench" record "$frames" "$work/ours.mp4")
  echo "run $i: ffmpeg -c copy ${f_s} s (peak ${f_kb} KiB), Mp4Writer ${o_s} s (peak ${o_kb} KiB)"
  sed 's/^/       /' "$work/out.txt"
  ffmpeg_best=$(echo "$f_s $ffmpeg_best" | awk '{print ($1 < $2) ? $1 : $2}')
  ours_best=$(echo "$o_s $ours_best" | awk '{print ($1 < $2) ? $1 : $2}')
  ffmpeg_kb=$(( f_kb > ffmpeg_kb ? f_kb : ffmpeg_kb )) ours_kb=$(( o_kb > ours_kb ? o_kb : ours_kb ))
done
echo "BENCH|MP4 recording write (Mp4Writer), best of $runs|$size_mb MB, $((loops + 1)) min|$ours_best|ffmpeg -c copy|$ffmpeg_best|s|ratio<=1.2"
mib() { awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }'; }  # whole MiB would hide a growth below 1 MiB
echo "BENCH|MP4 recording write, peak RSS (Mp4Writer)|$size_mb MB, $((loops + 1)) min|$(mib $ours_kb)|ffmpeg -c copy|$(mib $ffmpeg_kb)|MiB|-"
echo "write: best of $runs: ffmpeg $ffmpeg_best s, ours $ours_best s, ratio $(echo "$ours_best $ffmpeg_best" | awk '{printf "%.2f", $1 / $2}')x"
for kind in v a; do
  echo "frames ($kind): input $(ffprobe -v error -select_streams $kind:0 -show_entries stream=nb_frames -of csv=p=0 "$input")," \
       "ours $(ffprobe -v error -select_streams $kind:0 -show_entries stream=nb_frames -of csv=p=0 "$work/ours.mp4")"
done

# The same recording cut to a tenth: a peak that grows with the length shows
# as a ratio well above 1.
short="$work/short$loops.mp4"
[[ -s "$short" ]] || ffmpeg -v error -y -i "$input" -t $(( (loops + 1) * 6 )) -c copy -map 0 "$short"
[[ -s "$short.frames" ]] || "$bench" frames "$short" "$short.frames"
read -r _ short_kb < <(timed "$bench" record "$short.frames" "$work/ours-short.mp4")
rm -f "$work/ours-short.mp4"
echo "BENCH|MP4 recording write, peak RSS against a tenth of the length|$size_mb MB, $((loops + 1)) min|$(mib $ours_kb)|same, $(( (loops + 1) * 6 )) s|$(mib $short_kb)|MiB|ratio<=1.25"

"$bench" tables 1 "$work/tables.mp4"
echo "== opening one-hour files"
"$bench" open "$input" 20 2>/dev/null | tee "$work/open.txt" | sed 's/^/ffmpeg-made: /'
"$bench" open "$work/ours.mp4" 20 2>/dev/null | sed 's/^/ours:        /'
# The open target is for the file ffmpeg made: nothing of ours shaped its layout.
sed -n 's/.*module open median \([0-9.]*\) ms.*/\1/p' "$work/open.txt" |
  awk -v mb="$size_mb" -v min=$((loops + 1)) '{ printf "BENCH|MP4 open (Mp4FileReader), median of 20|%s MB ffmpeg-made, %d min|%s|-|-|ms|ours<=50\n", mb, min, $1 }'
