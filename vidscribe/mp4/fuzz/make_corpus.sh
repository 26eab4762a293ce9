#!/usr/bin/env bash
# Regenerates the seed inputs of mp4file_fuzzer: tiny ffmpeg-made MP4s of
# each kind the reader meets; and, given the vidscribe tool, those of
# mp4journal_fuzzer: the journal of a tiny recording, whole and cut off.
# Crash reproducers found later are added to the same folders by hand and
# kept.
#   make_corpus.sh [PATH/TO/vidscribe]
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

tool=${1:-}
[[ -n "$tool" ]] || exit 0
journals="$(dirname "$out")/mp4journal_fuzzer"
mkdir -p "$journals"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -y $v $a -map 0:v $venc -bf 2 -f h264 "$work/in.h264" -map 1:a $aenc -f adts "$work/in.aac"
# The journal goes when the recording finishes: a second name keeps it.
"$tool" record --realtime --h264 "$work/in.h264" --aac "$work/in.aac" "$work/rec.mp4" &
until [[ -e "$work/rec.mp4.part.journal" ]]; do sleep 0.01; done
ln "$work/rec.mp4.part.journal" "$journals/whole.journal"
wait
head -c 120 "$journals/whole.journal" > "$journals/cut.journal"
ls -l "$journals"
