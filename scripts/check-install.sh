#!/usr/bin/env bash
# Installs a build into a fresh prefix, moves the prefix elsewhere (so
# nothing may depend on where it was installed), and runs every installed
# program from its new place on a small real job. No program is let near a
# network: the launcher is stopped by a running shell before its road.
#
#   scripts/check-install.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=$(cd "$1" && pwd)
work=${2:-$(mktemp -d /tmp/install-check.XXXXXX)}
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
fail() { echo "install-check: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/installed" > "$work/install.log"
mv "$work/installed" "$work/moved"
prefix=$work/moved
bin=$prefix/bin
for program in launcher quorrel vidscribe logview mkmanifest; do
  [[ -x "$bin/$program" ]] || fail "$program was not installed"
done

# vidscribe: the library through pkg-config, a program built against it,
# and the installed tool recording a real stream and reading it back.
pc=$(find "$prefix" -name vidscribe.pc | head -n 1)
[[ -n "$pc" ]] || fail "no vidscribe.pc"
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$pc")
[[ "$(pkg-config --variable=prefix vidscribe)" -ef "$prefix" ]] || fail "vidscribe.pc does not point at the moved prefix"
cat > "$work/version.cpp" <<'CPP'
#include <cstdio>
#include "vidscribe/vidscribe.h"
int main() {
  Vidscriber recorder;
  std::puts("linked");
  return 0;
}
CPP
# shellcheck disable=SC2046
c++ -std=c++17 "$work/version.cpp" -o "$work/version" $(pkg-config --cflags --libs vidscribe) ||
  fail "a program does not build against the installed library"
LD_LIBRARY_PATH=$(pkg-config --variable=libdir vidscribe) "$work/version" | grep -qx linked ||
  fail "a program built against the installed library does not run"
"$bin/vidscribe" --help | grep -q '^usage: vidscribe' || fail "vidscribe --help"
ffmpeg -loglevel error -f lavfi -i testsrc=size=160x120:rate=10 -t 1 -c:v libx264 -bsf:v h264_mp4toannexb \
  -f h264 "$work/in.h264"
"$bin/vidscribe" record --h264 "$work/in.h264" --fps 10 "$work/out.flv" > /dev/null ||
  fail "the installed tool cannot record"
"$bin/vidscribe" info "$work/out.flv" | grep -q . || fail "the installed tool cannot read what it wrote"

# mkmanifest writes the digest md5sum computes.
mkdir -p "$work/package/sub"
echo "program" > "$work/package/sub/run.exe"
"$bin/mkmanifest" "$work/package" > /dev/null || fail "mkmanifest failed"
digest=$(md5sum "$work/package/sub/run.exe" | cut -c1-32)
grep -q "$digest" "$work/package/md5.json" || fail "md5.json lacks the file's digest"

# logview and quorrel answer as their protocols say.
"$bin/logview" --help | grep -qi usage || fail "logview --help"
report=$(echo '{"type":"shutdown"}' | "$bin/quorrel" --type=renderer | head -n 1)
[[ "$report" == *'"type"'* && "$report" == *renderer* ]] || fail "quorrel's first line: $report"

# The launcher meets a running shell of this user and ends quietly, as it
# must before any network work.
mkdir -m 700 "$work/run"
lock="$work/run/.kitlock.Global.tarkel.shell"
touch "$lock"
exec {held}< "$lock"
flock -n "$held" || fail "cannot hold the shell's lock"
out=$(XDG_RUNTIME_DIR=$work/run XDG_DATA_HOME=$work/data DISPLAY= "$bin/launcher" 2>&1) || fail "launcher exited non-zero"
exec {held}<&-
[[ "$out" == *"already have tarkel.shell"* ]] || fail "launcher did not see the shell: $out"

echo "install-check: launcher, quorrel, vidscribe (tool, library, pkg-config), logview, mkmanifest run from a moved prefix"
rm -rf "$work"
