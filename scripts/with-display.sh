#!/usr/bin/env bash
# Runs a command with an X display: the caller's if it has one, else a
# private Xvfb server that lives as long as the command.
set -euo pipefail
if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
if ! command -v Xvfb >/dev/null; then
  echo "with-display: no display and no Xvfb; window tests will skip" >&2
  exec "$@"
fi
for n in $(seq 90 140); do
  [[ -e /tmp/.X$n-lock ]] && continue
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  for _ in $(seq 50); do
    DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
    DISPLAY=":$n" "$@"
    exit $?
  fi
  kill $xvfb 2>/dev/null || true
  trap - EXIT
done
echo "with-display: could not start Xvfb" >&2
exit 1
