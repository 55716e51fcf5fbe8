#!/bin/sh
# Builds Sentrel and runs the benchmarks under Wine in a throw-away prefix.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SENTREL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
"$root/tools/build.sh" benchmarks
prefix="$build/benchprefix"
"$root/tools/test-prefix" setup "$prefix" "$build/bin/desktop_keeper.exe" >/dev/null
trap '"$root/tools/test-prefix" cleanup "$prefix" >/dev/null' EXIT
for bench in "$build"/bin/*_bench.exe; do
    echo "== $(basename "$bench" .exe)"
    WINEPREFIX="$prefix" "$root/tools/wine-run" "$bench"
done
