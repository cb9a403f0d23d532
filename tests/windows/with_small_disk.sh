#!/usr/bin/env bash
# with_small_disk.sh <bytes> <command...>
# Mounts a tmpfs of <bytes> on a fresh folder, runs the command with VELDRO_SMALL_DISK set to
# that folder, unmounts and passes the command's exit code on. Exits 77 (a skipped test) when
# this machine does not allow the mount.
set -u
bytes="$1"
shift
disk="$(mktemp -d "${TMPDIR:-/tmp}/veldro_small_disk.XXXXXX")"
if ! mount -t tmpfs -o "size=${bytes}" tmpfs "$disk" 2>/dev/null; then
  echo "cannot mount a tmpfs here (mount needs root or CAP_SYS_ADMIN); skipped"
  rmdir "$disk"
  exit 77
fi
trap 'umount "$disk"; rmdir "$disk"' EXIT
VELDRO_SMALL_DISK="$disk" "$@"
