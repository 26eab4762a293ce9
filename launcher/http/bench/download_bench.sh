#!/usr/bin/env bash
# Download throughput of HttpDownloader against the curl command-line tool,
# side by side in one run: the same 512 MiB file, the same loopback server,
# each client writing to disk, alternating over several rounds.
#
#   launcher/http/bench/download_bench.sh [BUILD_DIR] [ROUNDS]
#
# Prints each round, then the ratios (ours / curl) of the best and of the
# median throughputs: the machine is shared, so single rounds are noisy.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${1:-$root/build}"
rounds="${2:-3}"
size_mib=512

if [[ "${1:-}" == "-h" || "${1:-}" == "--help" ]]; then
  sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
command -v curl >/dev/null || { echo "download_bench: curl is not installed" >&2; exit 1; }

cmake --build "$build" --target http_download_bench -j2 >/dev/null
bench="$(find "$build" -name http_download_bench -type f -perm -u+x | head -n1)"
[[ -x "$bench" ]] || { echo "download_bench: http_download_bench not built in $build" >&2; exit 1; }

work="$(mktemp -d)"
server_pid=""
cleanup() {
  exec 3>&- 2>/dev/null || true
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$work/package.zip"
expected="$(md5sum <"$work/package.zip" | cut -d' ' -f1)"

# The server lives until its stdin (fd 3 here) closes.
mkfifo "$work/in" "$work/out"
python3 "$here/serve_file.py" "$work/package.zip" <"$work/in" >"$work/out" &
server_pid=$!
exec 3>"$work/in"
read -r _ port <"$work/out"
url="http://127.0.0.1:$port/package.zip"

now_ns() { date +%s%N; }
# Runs a command, checks the file it wrote, prints MiB/s.
measure() {
  local target="$1"; shift
  rm -f "$target"
  local begin end
  begin=$(now_ns)
  "$@" >/dev/null
  end=$(now_ns)
  [[ "$(md5sum <"$target" | cut -d' ' -f1)" == "$expected" ]] || { echo "download_bench: corrupt download by $1" >&2; exit 1; }
  rm -f "$target"
  awk -v b=$((size_mib * 1024 * 1024)) -v ns=$((end - begin)) 'BEGIN { printf "%.1f", b / 1048576 / (ns / 1e9) }'
}

curl_speeds=()
our_speeds=()
for ((r = 1; r <= rounds; r++)); do
  curl_speed=$(measure "$work/curl.zip" curl -s -o "$work/curl.zip" "$url")
  ours_speed=$(measure "$work/ours.zip" "$bench" "$url" "$work/ours.zip")
  echo "round $r: curl $curl_speed MiB/s, HttpDownloader $ours_speed MiB/s"
  curl_speeds+=("$curl_speed")
  our_speeds+=("$ours_speed")
done
summary() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%s %s", v[NR], v[int((NR + 1) / 2)] }'; }
read -r best_curl median_curl <<<"$(summary "${curl_speeds[@]}")"
read -r best_ours median_ours <<<"$(summary "${our_speeds[@]}")"
awk -v o="$best_ours" -v c="$best_curl" \
  'BEGIN { printf "best:   curl %.1f MiB/s, HttpDownloader %.1f MiB/s, ratio %.2f (target >= 0.80)\n", c, o, o / c }'
awk -v o="$median_ours" -v c="$median_curl" \
  'BEGIN { printf "median: curl %.1f MiB/s, HttpDownloader %.1f MiB/s, ratio %.2f\n", c, o, o / c }'
