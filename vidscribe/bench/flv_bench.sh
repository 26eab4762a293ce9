#!/usr/bin/env bash
# FLV recorder benchmarks, each beside its baseline in the same run:
#   1. recording an hour-long ~1 GB stream with `vidscribe record` (two
#      threads) against `ffmpeg -c copy -f flv`, with peak memory;
#   2. Close in key-frame mode (index inserted, media moved) against `cp`;
#   3. `vidscribe index` (AddKeyFrame) against yamdi;
#   4. mean SeekTag time over random seeks with and without the index.
#   5. the recorder's peak memory at a tenth of the length, so a peak that
#      grows with the recording shows at once;
#   6. `vidscribe repair` of the hour cut off in its last tag (as a kill
#      leaves it) against `cp`, and against a copy put in the file's place.
# Every timed step starts with memory settled (bench/settle_memory.py),
# which costs seconds a step.
# usage: flv_bench.sh BUILD_DIR [WORK_DIR] [MINUTES]
#   (under bench/run-all.sh: BENCH_BUILD, BENCH_WORK; BENCH_QUICK=1 is 6 min)
# ffmpeg needs its raw H.264 input stamped (setts) to write FLV at all.
# The input is a 10 s clip repeated (an IDR frame opens every repeat), so
# the hour costs seconds to make. Needs about 6 GB in WORK_DIR.
set -euo pipefail
settle=$(cd "$(dirname "$0")/../.." && pwd)/bench/settle_memory.py
build=$(cd "${1:-${BENCH_BUILD:?usage: flv_bench.sh BUILD_DIR [WORK_DIR] [MINUTES]}}" && pwd)
work=${2:-${BENCH_WORK:-/tmp/vidscribe-flv-bench}}
minutes=${3:-60}
[[ "${BENCH_QUICK:-0}" == 1 ]] && minutes=${3:-6}
cmake --build "$build" --target vidscribe_tool flv_bench -j2 >/dev/null
tool=$build/vidscribe/tools/vidscribe
bench=$build/vidscribe/bench/flv_bench
mkdir -p "$work"
cd "$work"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
if [[ ! -f input.$minutes.done ]]; then
  ff -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi -i "anoisesrc=r=44100:a=0.1" -t 10 \
     -vf "noise=alls=30:allf=t" -c:v libx264 -preset ultrafast -bf 3 -g 250 -b:v 2300k -minrate 2300k \
     -maxrate 2300k -bufsize 2300k -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 -f flv clip.flv
  ff -i clip.flv -map 0:v -c copy -bsf:v h264_mp4toannexb -f h264 clip.h264
  ff -i clip.flv -map 0:a -c copy -f adts clip.aac
  repeats=$((minutes * 6))
  : > in.h264
  : > in.aac
  for ((i = 0; i < repeats; i++)); do cat clip.h264 >> in.h264; cat clip.aac >> in.aac; done
  : > short.h264
  : > short.aac
  for ((i = 0; i < repeats / 10; i++)); do cat clip.h264 >> short.h264; cat clip.aac >> short.aac; done
  rm -f input.*.done
  touch input.$minutes.done
fi
size_mb=$(( ($(stat -c %s in.h264) + $(stat -c %s in.aac)) >> 20 ))
echo "input: ${minutes} min, ${size_mb} MB of H.264 and AAC"

# "wall peak-kB cpu" of a command: wall seconds, peak resident kilobytes and
# CPU seconds (user + system). Dirty pages of the step before are written
# out first, so no step pays for another's write-back, and every step finds
# memory in the same state (bench/settle_memory.py). On a shared machine
# wall times swing with other load; CPU seconds are the steadier figure.
measure() {
  sync
  "$settle"
  /usr/bin/time -f "%e %M %U %S" -o time.txt "$@" > /dev/null
  local wall kb user sys
  read -r wall kb user sys < time.txt
  echo "$wall $kb $(echo "$user + $sys" | bc)"
}
# The faster of two measurements.
best() {
  if (( $(echo "${1%% *} <= ${2%% *}" | bc) )); then echo "$1"; else echo "$2"; fi
}
ratio() { echo "scale=2; $1 / $2" | bc; }

# Each side runs twice, in the order A B B A, its output removed before the
# next run; the faster run of each side counts.
ffmpeg_args=(ffmpeg -nostdin -loglevel error -y -f h264 -framerate 25 -i in.h264 -i in.aac -c copy
             -bsf:v setts=pts=DTS -f flv ffmpeg.flv)
record_args=("$tool" record --h264 in.h264 --aac in.aac recorded.flv)
f1=$(measure "${ffmpeg_args[@]}"); rm -f ffmpeg.flv
r1=$(measure "${record_args[@]}"); rm -f recorded.flv
r2=$(measure "${record_args[@]}")
f2=$(measure "${ffmpeg_args[@]}")
read -r ff_s ff_kb ff_cpu <<< "$(best "$f1" "$f2")"
read -r rec_s rec_kb rec_cpu <<< "$(best "$r1" "$r2")"
echo "record: vidscribe ${rec_s}s (peak ${rec_kb} kB, CPU ${rec_cpu}s) vs ffmpeg -c copy ${ff_s}s" \
     "(peak ${ff_kb} kB, CPU ${ff_cpu}s): ratio $(ratio "$rec_s" "$ff_s")"

cp recorded.flv closing.flv
read -r cp_s _ _ <<< "$(measure cp recorded.flv copy.flv)"
rm -f copy.flv
sync
close_s=$("$bench" close closing.flv 2>/dev/null | sed -n 's/close_seconds=//p')
echo "close in key-frame mode: ${close_s}s vs cp ${cp_s}s: ratio $(ratio "$close_s" "$cp_s")"

# The repair reads the whole file and rewrites its head where it lies. The
# baseline is a plain copy of the file; the second one, a copy put in the
# file's place (which also frees the old file's blocks), is what a repair
# through a second file could not do without. Each repair works on a fresh
# copy of the cut file, made untimed.
head -c $(( $(stat -c %s recorded.flv) - 100 )) recorded.flv > cut.flv
replace() { cp cut.flv replaced.tmp && mv replaced.tmp replaced.flv; }
export -f replace
cp cut.flv victim.flv
p1=$(measure "$tool" repair victim.flv)
c1=$(measure cp cut.flv copy.flv); rm -f copy.flv
cp cut.flv replaced.flv
m1=$(measure bash -c replace)
cp cut.flv replaced.flv
m2=$(measure bash -c replace)
cp cut.flv victim.flv
c2=$(measure cp cut.flv copy.flv); rm -f copy.flv
p2=$(measure "$tool" repair victim.flv)
read -r repair_s _ repair_cpu <<< "$(best "$p1" "$p2")"
read -r copy_s _ copy_cpu <<< "$(best "$c1" "$c2")"
read -r replace_s _ _ <<< "$(best "$m1" "$m2")"
rm -f cut.flv victim.flv replaced.flv
echo "repair: vidscribe ${repair_s}s (CPU ${repair_cpu}s) vs cp ${copy_s}s (CPU ${copy_cpu}s): ratio" \
     "$(ratio "$repair_s" "$copy_s"); vs cp and mv over the file ${replace_s}s: ratio $(ratio "$repair_s" "$replace_s")"

index_args=("$tool" index ffmpeg.flv indexed.flv)
yamdi_args=(yamdi -i ffmpeg.flv -o yamdi.flv)
# Both copy a gigabyte through the page cache, so each run's time depends
# on what the cache holds; three runs each, in the order A B B A A B.
i1=$(measure "${index_args[@]}"); rm -f indexed.flv
y1=$(measure "${yamdi_args[@]}"); rm -f yamdi.flv
y2=$(measure "${yamdi_args[@]}"); rm -f yamdi.flv
i2=$(measure "${index_args[@]}"); rm -f indexed.flv
i3=$(measure "${index_args[@]}"); rm -f indexed.flv
y3=$(measure "${yamdi_args[@]}"); rm -f yamdi.flv
read -r index_s _ index_cpu <<< "$(best "$(best "$i1" "$i2")" "$i3")"
read -r yamdi_s _ yamdi_cpu <<< "$(best "$(best "$y1" "$y2")" "$y3")"
echo "index: vidscribe ${index_s}s (CPU ${index_cpu}s) vs yamdi ${yamdi_s}s (CPU ${yamdi_cpu}s):" \
     "ratio $(ratio "$index_s" "$yamdi_s")"

seek_mean() { "$bench" seek "$1" 1000 2>/dev/null | sed -n 's/^seek_mean_us=\([0-9.]*\).*/\1/p'; }
seek_with=$(seek_mean closing.flv)
seek_without=$(seek_mean recorded.flv)
echo "seek: mean ${seek_with} us with the index, ${seek_without} us without"

read -r _ short_kb _ <<< "$(measure "$tool" record --h264 short.h264 --aac short.aac short.flv)"
rm -f short.flv
echo "recorder peak memory: ${rec_kb} kB for ${minutes} min, ${short_kb} kB for a tenth of it"
rm -f time.txt

mib() { echo "scale=1; $1 / 1024" | bc; }
size="$size_mb MB, $minutes min"
echo "BENCH|FLV recording (vidscribe record, Vidscriber), best of 2|$size|$rec_s|ffmpeg -c copy -f flv|$ff_s|s|ratio<=1.2"
echo "BENCH|FLV recording, peak RSS|$size|$(mib "$rec_kb")|-|-|MiB|ours<=32"
echo "BENCH|FLV recording, peak RSS against a tenth of the length|$size|$(mib "$rec_kb")|same, $((minutes * 6)) s|$(mib "$short_kb")|MiB|ratio<=1.25"
echo "BENCH|Close in key-frame mode (index inserted)|$size|$close_s|cp|$cp_s|s|ratio<=2"
echo "BENCH|FLV repair of a recording cut off (vidscribe repair), best of 2|$size|$repair_s|cp|$copy_s|s|ratio<=1.5"
echo "BENCH|FLV repair of a recording cut off, against replacing the file|$size|$repair_s|cp to a new name, mv over the file|$replace_s|s|-"
echo "BENCH|AddKeyFrame (vidscribe index), best of 3|$size|$index_s|yamdi|$yamdi_s|s|ratio<=1"
echo "BENCH|SeekTag, mean of 1000 random seeks|$size|$seek_with|without the index|$seek_without|us|-"
