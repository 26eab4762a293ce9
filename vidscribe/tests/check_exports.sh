#!/usr/bin/env bash
# The shared library's dynamic symbol table holds the exported classes and
# stream helpers and nothing else (no internal helpers, no standard-library template code).
#   check_exports.sh libvidscribe.so
set -euo pipefail
lib=$1
allowed='^(FLVIO|FlvTag|IReadStream|IAvWriter|Vidscriber|Mp4Writer|Mp4Reader|IReader|vidscribe::PictureOrder)::|^vidscribe::(FindStartCode|ParseAdtsHeader|RepairRecording|RecordingJournalPath)(\[abi:cxx11\])?\(|^(typeinfo|typeinfo name|vtable) for (FLVIO|FlvTag|IReadStream|IAvWriter|Vidscriber|Mp4Writer|Mp4Reader|IReader)$|^VIDSCRIBE_1$'
symbols=$(nm -D --defined-only "$lib" | awk '{ $1=""; $2=""; sub(/^  /, ""); print }' | c++filt | sed 's/@@\?VIDSCRIBE_1$//')
[[ -n "$symbols" ]] || { echo "no dynamic symbols in $lib"; exit 1; }
grep -q '^FLVIO::Open' <<<"$symbols" || { echo "FLVIO::Open is not exported"; exit 1; }
grep -q '^FlvTag::ReadHdr' <<<"$symbols" || { echo "FlvTag::ReadHdr is not exported"; exit 1; }
stray=$(grep -Ev "$allowed" <<<"$symbols" || true)
if [[ -n "$stray" ]]; then
  echo "symbols exported beyond the public classes:"
  echo "$stray"
  exit 1
fi
echo "exports ok: $(wc -l <<<"$symbols") symbols"
