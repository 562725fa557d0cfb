#!/bin/sh
# Copies zelk.dll into a scratch folder and loads it into a shell that lacks
# every host function. Usage: bare_shell.sh WINE_RUN BARE_SHELL_EXE ZELK_DLL
run=$1; shell=$2; dll=$3
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cp "$dll" "$work/zelk.dll"
"$run" "$shell" "Z:$(echo "$work" | tr / '\\')\\zelk.dll"
