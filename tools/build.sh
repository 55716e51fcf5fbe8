#!/bin/sh
# Configures and builds Sentrel into build/ (or $SENTREL_BUILD): everything,
# or only the targets named (tools/build.sh Sentrel SentrelEx sentrelaux).
# A new build folder is configured as Release (optimised as RelWithDebInfo,
# without debug information); SENTREL_BUILD_TYPE names another.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SENTREL_BUILD:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=${SENTREL_BUILD_TYPE:-Release} >/dev/null
fi
targets=""
for t in "$@"; do targets="$targets --target $t"; done
# shellcheck disable=SC2086
cmake --build "$build" -j2 $targets -- --no-print-directory >/dev/null
