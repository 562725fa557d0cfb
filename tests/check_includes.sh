#!/bin/sh
# Fails when the includes within src/ run in a circle: a file and its header
# count as one, and since headers re-export nothing, every call between two
# files shows as an include. Usage: check_includes.sh SRC_DIR
cd "$1" || exit 1
edges=$(grep -H '^#include "' */*.h */*.cpp | sed 's/\.\(h\|cpp\):#include "\(.*\)\.h".*/ \2/' |
        awk '$1 != $2')
if ! printf '%s\n' "$edges" | tsort >/dev/null 2>/tmp/zelk-tsort.$$; then
    echo "FAILED: includes within src/ run in a circle:"
    sed -n 's/^tsort: //p' /tmp/zelk-tsort.$$
    rm -f /tmp/zelk-tsort.$$
    exit 1
fi
rm -f /tmp/zelk-tsort.$$
echo "no circles among $(printf '%s\n' "$edges" | wc -l) includes"
