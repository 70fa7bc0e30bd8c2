#!/bin/sh
# Rebuild tests/fixtures/format_cases.txt from the gfortran oracle.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
gfortran -O0 -J "$tmp" -o "$tmp/format_oracle" "$root/tools/format_oracle.f90"
"$tmp/format_oracle" > "$tmp/format_cases.txt"
mkdir -p "$root/tests/fixtures"
mv "$tmp/format_cases.txt" "$root/tests/fixtures/format_cases.txt"
echo "wrote tests/fixtures/format_cases.txt"
