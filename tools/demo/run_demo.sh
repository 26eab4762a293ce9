#!/usr/bin/env bash
# The launcher's whole road on this machine: a demo gateway on loopback, a
# package made from the demo client shell, and the real launcher window
# checking, downloading, unpacking and starting the shell; then a second run
# that starts the installed version without downloading. The demo launcher
# is built with gateway pins and a package key (key material made by the
# build in $BUILD/launcher-keys): the gateway serves the pinned certificate
# and the package is signed.
#
#   tools/demo/run_demo.sh [--help]
#
# Environment:
#   BUILD=build             build folder (the launcher_demo target is built there)
#   DEMO_OUT=$BUILD/demo    screenshots and logs are left here
#   DEMO_SECONDS=5          roughly how long the download takes
#
# With no usable DISPLAY it runs its own Xvfb; screenshots are taken either way
# (ImageMagick import). Exits 0 when both runs started the shell, non-zero with
# a one-line reason otherwise.
set -euo pipefail

if [[ "${1:-}" == "-h" || "${1:-}" == "--help" ]]; then
  sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-build}
[[ "$build" = /* ]] || build="$root/$build"
out=${DEMO_OUT:-$build/demo}
seconds=${DEMO_SECONDS:-5}
primary_port=38461
fallback_port=38462
version=1.0.0

fail() {
  echo "demo: FAILED: $*" >&2
  exit 1
}
step() { echo "demo: $*"; }

"$root/scripts/install-deps.sh"

step "building the demo launcher, the demo shell and the manifest tool in $build"
mkdir -p "$out"
cmake -S "$root" -B "$build" >"$out/cmake.log" 2>&1 || { tail -20 "$out/cmake.log" >&2; fail "cmake configure failed"; }
cmake --build "$build" -j "$(nproc)" --target launcher_demo demo_shell mkmanifest >>"$out/cmake.log" 2>&1 ||
  { tail -30 "$out/cmake.log" >&2; fail "build failed (see $out/cmake.log)"; }
launcher="$build/launcher/app/launcher_demo"
[[ -x "$launcher" ]] || fail "no launcher at $launcher"

work=$(mktemp -d /tmp/launcher-demo.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

keys="$build/launcher-keys"
[[ -s "$keys/gateway.pins" && -s "$keys/package-signing.key" ]] || fail "no key material in $keys (cmake makes it)"

step "making package $version from the demo shell, signed with $keys/package-signing.key"
mkdir -p "$work/pkg/$version"
cp "$build/tools/demo_shell/demo_shell" "$work/pkg/$version/tarkel.shell.exe"
python3 "$root/tools/package_builder/build_package.py" "$work/pkg/$version" "$work/$version.zip" \
  --mkmanifest "$build/tools/mkmanifest/mkmanifest" --sign "$keys/package-signing.key" >/dev/null ||
  fail "package build failed"
size=$(stat -c %s "$work/$version.zip")
rate=$(( size / seconds + 1 ))

step "starting the demo gateway on 127.0.0.1:$primary_port and :$fallback_port (pinned certificate, package trickled at $rate B/s)"
python3 "$root/tools/demo_gateway/demo_gateway.py" --primary-port "$primary_port" --fallback-port "$fallback_port" \
  --version "$version" --package "$work/$version.zip" --routes slow --slow-route slow --slow-rate "$rate" \
  --ready-file "$work/ready.json" --request-log "$work/requests.jsonl" --cert-dir "$keys" \
  >"$out/gateway.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/ready.json" ]] && break; sleep 0.1; done
[[ -s "$work/ready.json" ]] || { cat "$out/gateway.log" >&2; fail "the demo gateway did not start (ports taken?)"; }

if [[ -z "${DISPLAY:-}" ]] || ! xdpyinfo >/dev/null 2>&1; then
  for n in $(seq 150 199); do
    [[ -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 1024x640x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    xdpyinfo >/dev/null 2>&1 && break
    unset DISPLAY
  done
  [[ -n "${DISPLAY:-}" ]] || fail "no display and Xvfb could not start"
  step "no display here: running on a private Xvfb ($DISPLAY)"
fi

shot() {
  import -window root "$out/$1.png" 2>/dev/null && step "screenshot $out/$1.png" || step "screenshot $1 not taken"
}

export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
export DEMO_SHELL_RECORD="$work/shell.jsonl" DEMO_SHELL_STAY_MS=2500
# The shell's window is a WebKitGTK page that talks to it through the render
# helper; the shell notes its progress here.
export DEMO_SHELL_STATUS="$out/shell-status.log" DEMO_SHELL_EXTENSIONS="$build/quorrel/webkit-extension"
: >"$DEMO_SHELL_STATUS"
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Waits until a file holds a pattern or the launcher ended; false on timeout.
wait_for() {
  local pattern=$1 file=$2 limit=$3
  for _ in $(seq "$((limit * 20))"); do
    grep -q -- "$pattern" "$file" 2>/dev/null && return 0
    kill -0 "$launcher_pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

run_launcher() {
  local log=$1
  : >"$log"
  "$launcher" 2>"$log" &
  launcher_pid=$!
}

wait_launcher() {
  local limit=$1
  for _ in $(seq "$((limit * 10))"); do
    kill -0 "$launcher_pid" 2>/dev/null || { wait "$launcher_pid" || true; return 0; }
    sleep 0.1
  done
  kill "$launcher_pid" 2>/dev/null || true
  return 1
}

step "first run: the launcher finds nothing installed"
run_launcher "$out/launcher-first.log"
wait_for "window painted" "$out/launcher-first.log" 15 || fail "the launcher window never painted (see $out/launcher-first.log)"
shot checking
wait_for "download with url" "$out/launcher-first.log" 20 || fail "no download started (see $out/launcher-first.log)"
sleep "$(( seconds / 2 + 1 ))"
shot downloading
wait_launcher 60 || fail "the launcher did not finish within 60 s"
shot done
grep -q "done with exe" "$out/launcher-first.log" || fail "the shell was not started (see $out/launcher-first.log)"
[[ -d "$XDG_DATA_HOME/tarkel.shell/bin/$version" ]] || fail "version $version is not installed"
step "the shell's window: its page asks the shell through TKInvoke and cefQuery"
for _ in $(seq 600); do grep -q "page talked to the shell" "$DEMO_SHELL_STATUS" && break; sleep 0.1; done
grep -q "page talked to the shell" "$DEMO_SHELL_STATUS" ||
  fail "the shell's page never had an answer from the shell (see $DEMO_SHELL_STATUS)"
grep "page talked\|query answered" "$DEMO_SHELL_STATUS" | sed 's/^/demo:   shell: /'
sleep 0.5  # the page paints what the shell answered
shot shell
shell_pid=$(sed -n 's/.*"pid":\([0-9]*\).*/\1/p' "$DEMO_SHELL_RECORD" | tail -1)
for _ in $(seq 300); do kill -0 "$shell_pid" 2>/dev/null || break; sleep 0.1; done
echo "----- launcher log, first run -----"
cat "$out/launcher-first.log"
echo "-----------------------------------"

downloads_before=$(grep -c '/pkg/' "$work/requests.jsonl" || true)
step "second run: version $version is installed and starts without a download"
sleep 3  # the first shell holds its mutex while it runs
run_launcher "$out/launcher-second.log"
wait_launcher 30 || fail "the second launcher did not finish within 30 s"
grep -q "done with exe" "$out/launcher-second.log" || fail "the second run did not start the shell (see $out/launcher-second.log)"
downloads_after=$(grep -c '/pkg/' "$work/requests.jsonl" || true)
[[ "$downloads_after" == "$downloads_before" ]] || fail "the second run downloaded the package again"
echo "----- launcher log, second run -----"
cat "$out/launcher-second.log"
echo "------------------------------------"
step "done: screenshots and logs in $out"
