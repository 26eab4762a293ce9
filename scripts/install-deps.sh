#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the demo and the
# benchmarks need. Safe to run again: it asks dpkg first and only calls apt
# when something is missing, so a second run takes a moment.
#
#   scripts/install-deps.sh            build + test + demo packages
#   scripts/install-deps.sh --bench    also the benchmark baselines
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config
  libcurl4-openssl-dev libssl-dev libjsoncpp-dev zlib1g-dev libstb-dev
  libgtk-3-dev libx11-dev libxfixes-dev duktape-dev
  # the render helper's second back end and the demo shell's web view
  libwebkit2gtk-4.1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzing (libFuzzer lives in clang's runtime package)
  clang-14 libclang-rt-14-dev
  # checks: Ninja (one build is generated with it), format and lint
  ninja-build clang-format-14 clang-tidy-14
  # tests, demo and test oracles
  python3 python3-gi openssl curl zip unzip ffmpeg strace
  # window tests: plain X, and a desktop with a window manager and a
  # compositing manager
  xvfb xauth x11-utils xdotool openbox xcompmgr imagemagick fonts-wqy-microhei
)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(yamdi hyperfine valgrind gcovr)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
