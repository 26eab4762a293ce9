#!/usr/bin/env bash
# Download throughput of HttpDownloader against the curl command-line tool,
# side by side in one run: the same 512 MiB file, the same loopback server,
# each client writing to disk, alternating over several rounds.
#
#   launcher/http/bench/download_bench.sh [BUILD_DIR] [ROUNDS]
#
# Prints each round, then the ratios (ours / curl) of the best and of the
# median throughputs: the machine is shared, so single rounds are noisy. The
# CPU seconds each client spent (user + system) are printed beside them as a
# figure that other load on the machine disturbs less.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${1:-${BENCH_BUILD:-$root/build}}"
rounds="${2:-3}"
size_mib=512
if [[ "${BENCH_QUICK:-0}" == 1 ]]; then rounds="${2:-1}" size_mib=64; fi

if [[ "${1:-}" == "-h" || "${1:-}" == "--help" ]]; then
  sed -n '2,/^set /p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'
  exit 0
fi
command -v curl >/dev/null || { echo "download_bench: curl is not installed" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "download_bench: /usr/bin/time is not installed" >&2; exit 1; }

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
# Runs a command, checks the file it wrote, prints "<MiB/s> <cpu seconds>".
measure() {
  local target="$1"; shift
  rm -f "$target"
  local begin end
  begin=$(now_ns)
  /usr/bin/time -f "%U %S" -o "$work/cpu" "$@" >/dev/null
  end=$(now_ns)
  [[ "$(md5sum <"$target" | cut -d' ' -f1)" == "$expected" ]] || { echo "download_bench: corrupt download by $1" >&2; exit 1; }
  rm -f "$target"
  awk -v b=$((size_mib * 1024 * 1024)) -v ns=$((end - begin)) -v cpu="$(cat "$work/cpu")" \
    'BEGIN { split(cpu, c, " "); printf "%.1f %.2f", b / 1048576 / (ns / 1e9), c[1] + c[2] }'
}

curl_speeds=()
our_speeds=()
curl_cpu=()
our_cpu=()
for ((r = 1; r <= rounds; r++)); do
  read -r curl_speed curl_seconds <<<"$(measure "$work/curl.zip" curl -s -o "$work/curl.zip" "$url")"
  read -r ours_speed ours_seconds <<<"$(measure "$work/ours.zip" "$bench" "$url" "$work/ours.zip")"
  echo "round $r: curl $curl_speed MiB/s (${curl_seconds} s CPU), HttpDownloader $ours_speed MiB/s (${ours_seconds} s CPU)"
  curl_speeds+=("$curl_speed")
  our_speeds+=("$ours_speed")
  curl_cpu+=("$curl_seconds")
  our_cpu+=("$ours_seconds")
done
# Prints "<largest> <median>" of the numbers given.
summary() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%s %s", v[NR], v[int((NR + 1) / 2)] }'; }
read -r best_curl median_curl <<<"$(summary "${curl_speeds[@]}")"
read -r best_ours median_ours <<<"$(summary "${our_speeds[@]}")"
read -r _ median_curl_cpu <<<"$(summary "${curl_cpu[@]}")"
read -r _ median_our_cpu <<<"$(summary "${our_cpu[@]}")"
awk -v o="$best_ours" -v c="$best_curl" \
  'BEGIN { printf "best:   curl %.1f MiB/s, HttpDownloader %.1f MiB/s, ratio %.2f (target >= 0.80)\n", c, o, o / c }'
awk -v o="$median_ours" -v c="$median_curl" \
  'BEGIN { printf "median: curl %.1f MiB/s, HttpDownloader %.1f MiB/s, ratio %.2f\n", c, o, o / c }'
awk -v o="$median_our_cpu" -v c="$median_curl_cpu" \
  'BEGIN { printf "median CPU: curl %.2f s, HttpDownloader %.2f s\n", c, o }'
# Result lines for bench/run-all.sh.
echo "BENCH|download over loopback, best of $rounds (HttpDownloader)|$size_mib MiB|$best_ours|curl -s -o|$best_curl|MiB/s|ratio>=0.8"
echo "BENCH|download over loopback, median of $rounds (HttpDownloader)|$size_mib MiB|$median_ours|curl -s -o|$median_curl|MiB/s|ratio>=0.8"
echo "BENCH|download over loopback, CPU seconds, median (HttpDownloader)|$size_mib MiB|$median_our_cpu|curl -s -o|$median_curl_cpu|s|-"
