#!/usr/bin/env bash
# The key check's spoken prompts, made at build time with Debian's espeak-ng
# and sox: 8 kHz mono, 8-bit, so that the eleven of them stay small inside
# the program. Usage: mkprompts.sh OUTDIR
#   KeyPrompt0.wav ... KeyPrompt9.wav  "If you are a person, please press N now"
#   KeyDigit0.wav ... KeyDigit9.wav    "N now" (after a recording of the user's own)
#   KeyThanks.wav                      the caller who pressed the key is thanked
set -euo pipefail
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
speak() { # TEXT FILE
    espeak-ng -v en-gb -s 145 -w "$tmp/voice.wav" "$1"
    sox "$tmp/voice.wav" -r 8000 -c 1 -b 8 -e unsigned-integer "$2.tmp.wav"
    mv "$2.tmp.wav" "$2"
}
for n in 0 1 2 3 4 5 6 7 8 9; do
    speak "If you are a person, please press $n now." "$out/KeyPrompt$n.wav"
    speak "$n now." "$out/KeyDigit$n.wav"
done
speak "Thank you. Please hang up and call again: your call will ring through." "$out/KeyThanks.wav"
