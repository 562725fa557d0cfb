#!/bin/sh
# zelk.dll must be a PE32 (i386) DLL exporting exactly the four entry points
# the shell calls, and every binary may import only from system DLLs, never
# from a DLL that ships with the compiler.
# Usage: check_binaries.sh OBJDUMP ZELK_DLL OTHER_BINARY...
objdump=$1; dll=$2; shift 2
passed=0; failed=0
check() { # description, command...
    what=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}

is_pe32_i386() { "$objdump" -f "$1" | grep -q "file format pei-i386"; }
is_dll() { "$objdump" -p "$1" | sed -n "/^Characteristics/,/^$/p" | grep -qx "[[:space:]]*DLL"; }
exports() { "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' '; }
system_imports_only() {
    bad=$("$objdump" -p "$1" | awk '/DLL Name:/ {print tolower($3)}' |
          grep -vxE 'kernel32\.dll|user32\.dll|gdi32\.dll|msvcrt\.dll|advapi32\.dll|shell32\.dll|comctl32\.dll')
    [ -z "$bad" ] || { echo "$1 imports: $bad"; return 1; }
}

check "zelk.dll is PE32 i386" is_pe32_i386 "$dll"
check "zelk.dll is a DLL" is_dll "$dll"
got=$(exports "$dll")
check "zelk.dll exports exactly the four entry points (got: $got)" \
    test "$got" = "beginPlugin beginSlitPlugin endPlugin pluginInfo "
for binary in "$dll" "$@"; do
    check "$(basename "$binary") imports only system DLLs" system_imports_only "$binary"
done
size=$(wc -c < "$dll")
echo "zelk.dll: $size bytes"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
