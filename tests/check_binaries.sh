#!/bin/sh
# zelk.dll must be a DLL of the expected architecture (pei-i386 for 32-bit
# shells, pei-x86-64 for 64-bit ones) exporting exactly the four entry points
# the shell calls, at most 68 KiB (64-bit: 76), with its version resource; and every binary
# may import only from system DLLs, never from a DLL that ships with the
# compiler. Reads the files only: no Wine needed.
# Usage: check_binaries.sh OBJDUMP FORMAT ZELK_DLL OTHER_BINARY...
objdump=$1; format=$2; dll=$3; shift 3
passed=0; failed=0
check() { # description, command...
    what=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}

format_of() { "$objdump" -f "$1" | sed -n 's/.*file format //p'; }
is_dll() { "$objdump" -p "$1" | sed -n "/^Characteristics/,/^$/p" | grep -qx "[[:space:]]*DLL"; }
exports() { "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' '; }
system_imports_only() {
    bad=$("$objdump" -p "$1" | awk '/DLL Name:/ {print tolower($3)}' |
          grep -vxE 'kernel32\.dll|user32\.dll|gdi32\.dll|msvcrt\.dll|advapi32\.dll|shell32\.dll|comctl32\.dll')
    [ -z "$bad" ] || { echo "$1 imports: $bad"; return 1; }
}
# The version strings are UTF-16 in the resource: each name directly
# followed by its value.
version_strings() { "${objdump%objdump}strings" -n 3 -el "$1" | tr '\n' '|'; }

got_format=$(format_of "$dll")
check "zelk.dll is $format (it is $got_format)" test "$got_format" = "$format"
check "zelk.dll is a DLL" is_dll "$dll"
got=$(exports "$dll")
check "zelk.dll exports exactly the four entry points (got: $got)" \
    test "$got" = "beginPlugin beginSlitPlugin endPlugin pluginInfo "
size=$(wc -c < "$dll")
kib=$([ "$format" = pei-x86-64 ] && echo 76 || echo 68)
check "zelk.dll is at most $kib KiB ($size bytes)" test "$size" -le $((kib * 1024))
versions=$(version_strings "$dll")
for pair in "FileDescription|zelk 1.0" "FileVersion|1.0" "ProductName|zelk" \
            "ProductVersion|1.0" "OriginalFilename|zelk.dll"; do
    check "version resource holds $pair" sh -c 'case "$1" in *"|$2|"*) exit 0;; esac; exit 1' - "|$versions" "$pair"
done
for binary in "$dll" "$@"; do
    check "$(basename "$binary") imports only system DLLs" system_imports_only "$binary"
done
# Given its link map, ZELK_MAP (64-bit): each function from zelk's .cpp objects has a .pdata entry.
if [ -n "$ZELK_MAP" ]; then
    begins=$("$objdump" -x "$dll" | awk '/^The Function Table/,/^$/ { printf " 0x%s ", $2 }')
    lacking=$(awk -v begins="$begins" '/^Linker script and memory map/ { on = 1 }
        on && /^ \.text/ { name = $1; $1 = ""; $0 = $0 } # the rest may be on the next line
        name != "" && $1 ~ /^0x/ && $2 != "0x0" && $3 ~ /\.cpp\.obj\)?$/ { n++; if (!index(begins, " " $1 " ")) print name }
        $1 ~ /^0x/ { name = "" } END { print n + 0, "functions" }' "$ZELK_MAP")
    check "every function of zelk has unwind data: $lacking" test "$(echo "$lacking" | wc -l)" -eq 1 -a "$lacking" != "0 functions"
fi
echo "zelk.dll: $size bytes, $got_format"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
