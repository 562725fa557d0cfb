#!/bin/sh
# Runs a reliability test program. As root it first mounts a small tmpfs so
# the full-disk case has a disk to fill; otherwise, or when the mount fails,
# that case is skipped with the reason given here, and the program exits
# with the code CTest counts as a skip.
# Usage: reliability.sh WINE_RUN PROGRAM REPORT|- [TEST OPTIONS]
run=$1; program=$2; report=$3; shift 3
[ "$report" = - ] && report=""
full="" why=""
if [ "$(id -u)" != 0 ]; then
    why="mounting a small tmpfs needs root (this run is user $(id -un))"
else
    full=$(mktemp -d /tmp/zelk-full.XXXXXX)
    if error=$(mount -t tmpfs -o size=64k tmpfs "$full" 2>&1); then
        trap 'umount "$full"; rmdir "$full"' EXIT
    else
        rmdir "$full"; full=""
        why="mount -t tmpfs failed: $error"
        echo "reliability.sh: $why" >&2
    fi
fi
ZELK_FULL_DISK=$full ZELK_NO_FULL_DISK=$why ZELK_RELIABILITY_REPORT=$report \
    "$run" "$program" "$@"
status=$?
exit $status
