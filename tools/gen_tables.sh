#!/bin/sh
# Build tools/gen_tables.cpp and write the sphere tables
#   crystal/abso_table.cpp (astar_table) and crystal/chuk_table.cpp (yp_table).
# Run from anywhere:   sh tools/gen_tables.sh
# Convergence check:   sh tools/gen_tables.sh --check
#   (computes everything again with every step halved and compares the
#   printed digits; writes nothing)
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
${CXX:-g++} -O2 -std=c++20 -o "$tmp/gen_tables" "$root/tools/gen_tables.cpp"
if [ "$1" = "--check" ]; then
  "$tmp/gen_tables" --check
else
  "$tmp/gen_tables" "$root/crystal/abso_table.cpp" "$root/crystal/chuk_table.cpp"
fi
