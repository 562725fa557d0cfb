#!/bin/sh
# Builds the release zip into a scratch folder and checks what a user gets:
# exactly zelk.dll and readme.txt, the readme with Windows line endings, the
# DLL of the tree's architecture with its four exports.
# Usage: check_dist.sh BUILD_DIR OBJDUMP CHECK_BINARIES WINEARCH FORMAT
build=$1; objdump=$2; check_binaries=$3; arch=$4; format=$5
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
passed=0; failed=0
check() { what=$1; shift; if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi; }

(cd "$build" && cpack -G ZIP -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "0 passed, 1 failed"; exit 1; }
zip="$work/zelk-1.0-$arch.zip"
check "zelk-1.0-$arch.zip built" test -f "$zip"
listing=$(cd "$work" && cmake -E tar tf "$zip" | sort | tr '\n' ' ')
check "zip holds exactly readme.txt and zelk.dll (got: $listing)" test "$listing" = "readme.txt zelk.dll "
mkdir "$work/x" && (cd "$work/x" && cmake -E tar xf "$zip")
lines=$(wc -l < "$work/x/readme.txt")
crlf=$(grep -c "$(printf '\r')\$" "$work/x/readme.txt")
check "every readme line ends in CR LF ($crlf of $lines)" test "$lines" -gt 10 -a "$crlf" -eq "$lines"
dll_ok() { out=$(sh "$check_binaries" "$objdump" "$format" "$work/x/zelk.dll") || { echo "$out"; return 1; }; }
check "the zipped DLL is the $format DLL with its four exports" dll_ok
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
