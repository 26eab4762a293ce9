#!/usr/bin/env bash
# The vidscribe tool is a client of the installed library and nothing else:
# the library is installed into a scratch prefix, the tool's sources are
# compiled with the flags pkg-config gives for it, and the result records,
# reads and extracts a short stream. The tool the build made is checked to
# need libvidscribe.so and to carry no copy of the library's own code.
#   build_against_installed.sh VIDSCRIBE_BUILD_DIR TOOL_SOURCE_DIR BUILT_TOOL
set -euo pipefail
build=$1 sources=$2 built=$3
work=$(mktemp -d /tmp/vidscribe_consumer_XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "consumer test: $*" >&2; exit 1; }

needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
check_links_only_the_library() {
  needed "$1" | grep -qx 'libvidscribe.so.1' || fail "$1 does not need libvidscribe.so.1"
  local other
  other=$(needed "$1" | grep -Evx 'libvidscribe.so.1|libstdc\+\+.so.6|libm.so.6|libgcc_s.so.1|libc.so.6' || true)
  [[ -z "$other" ]] || fail "$1 needs more than the library: $other"
  ! nm -C --defined-only "$1" | grep -q ' Vidscriber::' || fail "$1 carries its own copy of Vidscriber"
}
check_links_only_the_library "$built"

cmake --install "$build" --prefix "$work/prefix" > /dev/null
pc=$(find "$work/prefix" -name vidscribe.pc | head -n 1)
[[ -n "$pc" ]] || fail "no vidscribe.pc installed"
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$pc")
libdir=$(pkg-config --variable=libdir vidscribe)
# shellcheck disable=SC2046
c++ -std=c++17 -O1 -Wall -Wextra -Werror $(pkg-config --cflags vidscribe) "$sources"/*.cpp \
    -o "$work/vidscribe" $(pkg-config --libs vidscribe) -pthread -Wl,-rpath,"$libdir"
check_links_only_the_library "$work/vidscribe"

cd "$work"
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 \
       -f lavfi -i sine=frequency=440:sample_rate=44100 -t 1 -c:v libx264 -preset ultrafast -bf 2 \
       -pix_fmt yuv420p -c:a aac -f flv in.flv
ffmpeg -nostdin -hide_banner -loglevel error -i in.flv -map 0:v -c copy -bsf:v h264_mp4toannexb -f h264 in.h264
ffmpeg -nostdin -hide_banner -loglevel error -i in.flv -map 0:a -c copy -f adts in.aac
./vidscribe --help > /dev/null
for out in out.flv out.mp4; do
  ./vidscribe record --h264 in.h264 --aac in.aac "$out" || fail "record $out failed"
  ./vidscribe info "$out" > info.txt || fail "info $out failed"
  grep -q '320x240' info.txt || fail "info $out: $(cat info.txt)"
  ./vidscribe extract "$out" --h264 back.h264 --aac back.aac || fail "extract $out failed"
  ffmpeg -nostdin -v error -i "$out" -f null - 2>&1 | { ! grep . ; } || fail "ffmpeg complains about $out"
done
echo "consumer test: the tool builds and runs against the installed library alone"
