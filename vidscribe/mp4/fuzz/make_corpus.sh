#!/usr/bin/env bash
# Regenerates the seed inputs of mp4file_fuzzer: tiny ffmpeg-made MP4s of
# each kind the reader meets. Crash reproducers found later are added to the
# same folder by hand and kept.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus/mp4file_fuzzer"
mkdir -p "$out"
v="-f lavfi -i testsrc=size=32x32:rate=10:duration=0.5"
a="-f lavfi -i sine=sample_rate=8000:duration=0.5"
venc="-c:v libx264 -preset superfast -pix_fmt yuv420p -g 4"
aenc="-c:a aac -b:a 16k"
ffmpeg -v error -y $v $a $venc -bf 2 $aenc "$out/av-bframes.mp4"
ffmpeg -v error -y $v $venc -bf 0 "$out/video.mp4"
ffmpeg -v error -y $a $aenc "$out/audio.mp4"
ffmpeg -v error -y $v $a $venc $aenc -movflags +faststart "$out/faststart.mp4"
ls -l "$out"
