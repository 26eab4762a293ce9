#!/usr/bin/env bash
# FLV recorder benchmarks, each beside its baseline in the same run:
#   1. recording an hour-long ~1 GB stream with `vidscribe record` (two
#      threads) against `ffmpeg -c copy -f flv`, with peak memory;
#   2. Close in key-frame mode (index inserted, media moved) against `cp`;
#   3. `vidscribe index` (AddKeyFrame) against yamdi;
#   4. mean SeekTag time over random seeks with and without the index.
# usage: run-flv-bench.sh BUILD_DIR [WORK_DIR] [MINUTES]
# ffmpeg needs its raw H.264 input stamped (setts) to write FLV at all.
# The input is a 10 s clip repeated (an IDR frame opens every repeat), so
# the hour costs seconds to make. Needs about 8 GB in WORK_DIR.
set -euo pipefail
build=$(cd "$1" && pwd)
work=${2:-/tmp/vidscribe-flv-bench}
minutes=${3:-60}
tool=$build/vidscribe/tool/vidscribe
bench=$build/vidscribe/bench/flv_bench
mkdir -p "$work"
cd "$work"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
if [[ ! -f input.done ]]; then
  ff -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi -i "anoisesrc=r=44100:a=0.1" -t 10 \
     -vf "noise=alls=30:allf=t" -c:v libx264 -preset ultrafast -bf 3 -g 250 -b:v 2300k -minrate 2300k \
     -maxrate 2300k -bufsize 2300k -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 -f flv clip.flv
  ff -i clip.flv -map 0:v -c copy -bsf:v h264_mp4toannexb -f h264 clip.h264
  ff -i clip.flv -map 0:a -c copy -f adts clip.aac
  repeats=$((minutes * 6))
  : > in.h264
  : > in.aac
  for ((i = 0; i < repeats; i++)); do cat clip.h264 >> in.h264; cat clip.aac >> in.aac; done
  touch input.done
fi
size_mb=$(( ($(stat -c %s in.h264) + $(stat -c %s in.aac)) >> 20 ))
echo "input: ${minutes} min, ${size_mb} MB of H.264 and AAC"

# Wall seconds, peak resident kilobytes and CPU seconds (user + system) of
# a command. Dirty pages of the step before are written out first, so no step
# pays for another's write-back. On a shared machine the wall times swing
# with other load; the CPU seconds are the steadier comparison.
measure() {
  sync
  /usr/bin/time -f "%e %M %U %S" -o time.txt "$@" > /dev/null
  read -r wall kb user sys < time.txt
  echo "$wall $kb $(echo "$user + $sys" | bc)"
}

read -r ff_s ff_kb ff_cpu < <(measure ffmpeg -nostdin -loglevel error -y -f h264 -framerate 25 -i in.h264 -i in.aac \
                                -c copy -bsf:v setts=pts=DTS -f flv ffmpeg.flv)
read -r rec_s rec_kb rec_cpu < <(measure "$tool" record --h264 in.h264 --aac in.aac recorded.flv)
read -r ff2_s _ ff2_cpu < <(measure ffmpeg -nostdin -loglevel error -y -f h264 -framerate 25 -i in.h264 -i in.aac \
                                -c copy -bsf:v setts=pts=DTS -f flv ffmpeg.flv)
echo "record (second ffmpeg run, after ours): ffmpeg ${ff2_s}s, CPU ${ff2_cpu}s"
echo "record: vidscribe ${rec_s}s (peak ${rec_kb} kB) vs ffmpeg -c copy ${ff_s}s (peak ${ff_kb} kB)," \
     "ratio $(echo "scale=2; $rec_s / $ff_s" | bc); CPU ${rec_cpu}s vs ${ff_cpu}s"

rm -f ffmpeg.flv.part recorded.flv.part indexed.flv yamdi.flv copy.flv
cp recorded.flv closing.flv
read -r cp_s _ cp_cpu < <(measure cp recorded.flv copy.flv)
sync
close_s=$("$bench" close closing.flv 2>/dev/null | sed -n 's/close_seconds=//p')
echo "close in key-frame mode: ${close_s}s vs cp ${cp_s}s, ratio $(echo "scale=2; $close_s / $cp_s" | bc)"

read -r yamdi_s _ yamdi_cpu < <(measure yamdi -i ffmpeg.flv -o yamdi.flv)
read -r index_s _ index_cpu < <(measure "$tool" index ffmpeg.flv indexed.flv)
echo "index: vidscribe ${index_s}s vs yamdi ${yamdi_s}s, ratio $(echo "scale=2; $index_s / $yamdi_s" | bc);" \
     "CPU ${index_cpu}s vs ${yamdi_cpu}s"

echo "seek with index:    $("$bench" seek closing.flv 1000 2>/dev/null)"
echo "seek without index: $("$bench" seek recorded.flv 1000 2>/dev/null)"
rm -f copy.flv yamdi.flv time.txt
