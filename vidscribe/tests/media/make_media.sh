#!/usr/bin/env bash
# Makes the real inputs of the media tests with ffmpeg, and writes what
# ffprobe says about them next to them:
#   make_media.sh OUTDIR
# Safe to call from several test processes at once: the first one makes the
# files under a lock, later ones find the stamp and return.
set -euo pipefail
out=$1
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
[[ -f "$out/.done" ]] && exit 0

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
probe() { ffprobe -v error -select_streams "$1" -show_entries "$2" -of csv=p=0 "$3"; }

# The FLV files are encoded directly; ffmpeg writes their onMetaData tag and
# AVC sequence header. The start-code streams and ADTS files are then copied
# out of them, so parameter sets and audio configuration match exactly.
# High profile (veryfast keeps CABAC and 8x8 transforms), 2 s, with AAC.
ff -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 -t 2 \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -ac 2 -f flv "$out/av_640x360.flv"
# Constrained Baseline (ultrafast), 1080 lines coded as 1088, 1 s.
ff -f lavfi -i testsrc2=size=1920x1080:rate=25 -t 1 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
   -f flv "$out/v_1920x1080.flv"
ff -i "$out/av_640x360.flv" -map 0:v -c copy -bsf:v h264_mp4toannexb -f h264 "$out/h264_640x360.h264"
ff -i "$out/av_640x360.flv" -map 0:a -c copy -f adts "$out/aac_44100_2.aac"
ff -i "$out/v_1920x1080.flv" -c copy -bsf:v h264_mp4toannexb -f h264 "$out/h264_1920x1080.h264"
# High profile with scaling matrices in the SPS, a few frames.
ff -f lavfi -i testsrc2=size=1280x720:rate=25 -frames:v 3 -c:v libx264 -preset veryfast -profile:v high \
   -x264-params cqm=jvt -pix_fmt yuv420p -f h264 "$out/h264_1280x720_cqm.h264"
ff -f lavfi -i sine=frequency=440:sample_rate=48000 -t 1 -ac 1 -c:a aac -f adts "$out/aac_48000_1.aac"
ff -f lavfi -i sine=frequency=440:sample_rate=22050 -t 1 -ac 6 -c:a aac -f adts "$out/aac_22050_6.aac"

for f in h264_640x360 h264_1920x1080 h264_1280x720_cqm; do
  probe v:0 stream=coded_width,coded_height "$out/$f.h264" > "$out/$f.probe"
  ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 \
    "$out/$f.h264" > "$out/$f.packets"
done
for f in aac_44100_2 aac_48000_1 aac_22050_6; do
  probe a:0 stream=sample_rate,channels "$out/$f.aac" > "$out/$f.probe"
done
touch "$out/.done"
