#!/usr/bin/env bash
# reliability_disk.sh <command...>
# Runs the command with a tmpfs of 1 MiB (filled by a payload of 2 MiB) mounted for the run and
# named in VELDRO_SMALL_DISK. Exits 77 (skipped) where mounting is not allowed; otherwise passes
# the command's exit code on.
set -u
disk="$(mktemp -d "${TMPDIR:-/tmp}/veldro_rel_disk.XXXXXX")"
if ! mount -t tmpfs -o size=1048576 tmpfs "$disk" 2>/dev/null; then
  echo "cannot mount a tmpfs here (mount needs root or CAP_SYS_ADMIN); skipped"
  rmdir "$disk"
  exit 77
fi
trap 'umount "$disk"; rmdir "$disk"' EXIT
VELDRO_SMALL_DISK="$disk" "$@"
