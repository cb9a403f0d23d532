#!/usr/bin/env bash
# Writes an .ico file with two 32-bit images, 16x16 and 32x32 (each a bitmap header, the
# pixels and the transparency mask), to $1.
set -euo pipefail
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
image_bytes() { echo $((40 + $1 * $1 * 4 + $1 * ($1 / 8 > 4 ? $1 / 8 : 4))); }
small=$(image_bytes 16) large=$(image_bytes 32)
{
  printf '\x00\x00\x01\x00\x02\x00'
  printf '\x10\x10\x00\x00\x01\x00\x20\x00'; le32 "$small"; le32 38
  printf '\x20\x20\x00\x00\x01\x00\x20\x00'; le32 "$large"; le32 $((38 + small))
  for size in 16 32; do
    le32 40; le32 "$size"; le32 $((size * 2)); printf '\x01\x00\x20\x00'; head -c 24 /dev/zero
    head -c $((size * size * 4)) /dev/zero | tr '\0' '\132'
    head -c $((size * (size / 8 > 4 ? size / 8 : 4))) /dev/zero
  done
} >"$1"
