#!/bin/sh
# zelk.dll starts without the C runtime's start-up code, so no object of the
# plug-in may need it: no static constructors or destructors, no thread-local
# data. Usage: check_startup.sh OBJDUMP "OBJECT;OBJECT;..."
objdump=$1
count=0
IFS=';'
for o in $2; do
    count=$((count + 1))
    if "$objdump" -h "$o" | grep -Eq '[.](ctors|dtors|init_array|fini_array|tls)'; then
        echo "FAILED: $o needs start-up code"
        exit 1
    fi
done
echo "none of the $count objects needs start-up code"
