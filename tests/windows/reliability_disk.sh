#!/usr/bin/env bash
# reliability_disk.sh small|readonly <command...>
# Runs the command with a tmpfs of its own mounted for the run and named in VELDRO_SMALL_DISK
# (1 MiB, filled by a payload of 2 MiB) or VELDRO_READONLY_DISK (mounted read-only, so that no
# one, root included, can create anything in it). Exits 77 (skipped) where mounting is not
# allowed; otherwise passes the command's exit code on.
set -u
kind="$1"
shift
disk="$(mktemp -d "${TMPDIR:-/tmp}/veldro_rel_disk.XXXXXX")"
case "$kind" in
  small) options="size=1048576"; variable=VELDRO_SMALL_DISK ;;
  readonly) options="size=65536,ro"; variable=VELDRO_READONLY_DISK ;;
  *) echo "unknown disk kind $kind"; exit 2 ;;
esac
if ! mount -t tmpfs -o "$options" tmpfs "$disk" 2>/dev/null; then
  echo "cannot mount a tmpfs here (mount needs root or CAP_SYS_ADMIN); skipped"
  rmdir "$disk"
  exit 77
fi
trap 'umount "$disk"; rmdir "$disk"' EXIT
env "$variable=$disk" "$@"
