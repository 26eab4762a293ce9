#!/usr/bin/env bash
# Makes the key material of a secured update road in one folder:
#
#   make_keys.sh OUTDIR
#
#   package-signing.key   Ed25519 private key for build_package.py --sign (keep it secret)
#   package-signing.pub   the value of LAUNCHER_PACKAGE_PUBLIC_KEY
#   gateway.key/.crt      a self-signed gateway certificate (the demo gateway serves it)
#   gateway-backup.key    a second gateway key, pinned but not served: the way to
#                         change keys without a launcher that refuses the gateway
#   gateway.pins          the value of LAUNCHER_GATEWAY_PINS (current;backup)
#
# The build makes such a folder for the demo, the tests and the benchmark. For
# a real gateway, pin the key of its real certificate instead (README,
# "Securing the update road"). OUTDIR must not exist yet or hold an earlier run;
# the files appear only once all of them are made.
set -euo pipefail

if [[ $# -ne 1 || "$1" == -h || "$1" == --help ]]; then
  sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
  [[ $# -eq 1 ]] && exit 0 || exit 2
fi
out=$1
command -v openssl >/dev/null || { echo "make_keys: openssl is not installed" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
work=$(mktemp -d "$out.partial.XXXXXX")
trap 'rm -rf "$work"' EXIT
umask 077

# The pin of a key: base64 of the SHA-256 of its DER SubjectPublicKeyInfo.
pin_of() {
  openssl pkey -in "$1" -pubout -outform der 2>/dev/null | openssl dgst -sha256 -binary | openssl enc -base64 -A
}

openssl genpkey -algorithm ed25519 -out "$work/package-signing.key" 2>/dev/null
openssl pkey -in "$work/package-signing.key" -pubout 2>/dev/null | sed -n 2p >"$work/package-signing.pub"

for name in gateway gateway-backup; do
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out "$work/$name.key" 2>/dev/null
done
openssl req -x509 -new -key "$work/gateway.key" -days 3650 -subj "/CN=127.0.0.1" \
  -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" -out "$work/gateway.crt" 2>/dev/null
echo "sha256//$(pin_of "$work/gateway.key");sha256//$(pin_of "$work/gateway-backup.key")" >"$work/gateway.pins"

chmod 644 "$work/package-signing.pub" "$work/gateway.crt" "$work/gateway.pins"
rm -rf "$out"
mv "$work" "$out"
chmod 755 "$out"
trap - EXIT
echo "make_keys: key material in $out"
