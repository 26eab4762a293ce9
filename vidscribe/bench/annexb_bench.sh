#!/usr/bin/env bash
# Annex B conversion throughput on a ~100 MB H.264 stream made by ffmpeg.
#   vidscribe/bench/annexb_bench.sh [BUILD_DIR]   (default: build)
# The stream is cached in BUILD_DIR/bench-media; the program reports MB/s of
# the conversion and of memcpy in the same run, and exits 3 below 1 GB/s.
set -euo pipefail
build=${1:-${BENCH_BUILD:-build}}
cmake --build "$build" --target annexb_bench -j2 >/dev/null
media="$build/bench-media"
mb=100
[[ "${BENCH_QUICK:-0}" == 1 ]] && mb=10
stream="$media/stream_${mb}mb.h264"
mkdir -p "$media"
if [[ ! -s "$stream" ]]; then
  echo "making $stream with ffmpeg..."
  # Film-like grain keeps the bit rate high enough to reach the size in a
  # few seconds of 1080p; -fs stops the encode at 100 MB.
  ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=1920x1080:rate=25,noise=alls=6:allf=t" -t 120 \
    -c:v libx264 -preset ultrafast -qp 16 -fs ${mb}000000 -f h264 "$stream.part"
  mv "$stream.part" "$stream"
fi
exe=$(find "$build" -name annexb_bench -type f -perm -u+x | head -n 1)
"$exe" "$stream" 5 | tee "$media/annexb.out"
# Result line for bench/run-all.sh (memcpy of the same bytes as the yardstick).
awk -v mb="$mb" '/^annexb conversion/ { c = $3 } /^memcpy baseline/ { m = $3 }
  END { printf "BENCH|Annex B to length-prefixed conversion, best of 5|%d MB H.264|%s|memcpy|%s|MB/s|ours>=1000\n", mb, c, m }' \
  "$media/annexb.out"
