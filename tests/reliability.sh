#!/bin/sh
# Runs the reliability tests. As root it first mounts a small tmpfs so the
# full-disk case has a disk to fill; otherwise that case reports itself skipped.
# Usage: reliability.sh WINE_RUN PROGRAM REPORT [TEST OPTIONS]
run=$1; program=$2; report=$3; shift 3
full=""
if [ "$(id -u)" = 0 ]; then
    full=$(mktemp -d /tmp/zelk-full.XXXXXX)
    if mount -t tmpfs -o size=64k tmpfs "$full" 2>/dev/null; then
        trap 'umount "$full"; rmdir "$full"' EXIT
    else
        rmdir "$full"; full=""
    fi
fi
ZELK_FULL_DISK=$full ZELK_RELIABILITY_REPORT=$report "$run" "$program" "$@"
