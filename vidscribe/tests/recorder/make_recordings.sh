#!/usr/bin/env bash
# Makes the ffmpeg inputs of the recorder tests: FLV files ffmpeg wrote
# itself, and the elementary streams copied out of them (Annex B H.264 with
# B-frames, ADTS AAC), so the streams match the reference files exactly.
#   make_recordings.sh OUTDIR
# Safe to call from several test processes at once.
set -euo pipefail
out=$1
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
# The stamp names the set of files, so a folder made for an older set is
# filled up.
[[ -f "$out/.done-steady" ]] && exit 0

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
# name seconds audio-rate audio-channels [size [B-frames]]
make() {
  ff -f lavfi -i "testsrc2=size=${5:-320x240}:rate=25" -f lavfi -i "sine=frequency=330:sample_rate=$3" -t "$2" \
     -c:v libx264 -preset veryfast -bf "${6:-3}" -g 50 -pix_fmt yuv420p -c:a aac -ac "$4" -f flv "$out/$1.flv"
  ff -i "$out/$1.flv" -map 0:v -c copy -bsf:v h264_mp4toannexb -f h264 "$out/$1.h264"
  ff -i "$out/$1.flv" -map 0:a -c copy -f adts "$out/$1.aac"
}
make stereo44 4 44100 2
make mono48 3 48000 1
make twelve 12 44100 2
# Coded as 368 lines and cropped to 360; no B-frames.
make nobf 2 44100 2 640x360 0
# Long enough to be killed at any moment of its first three seconds.
make steady 6 44100 2 320x240 0
touch "$out/.done-steady"
