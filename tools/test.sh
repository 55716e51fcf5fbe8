#!/bin/sh
# Installs what is missing, builds Sentrel and runs the whole test suite
# under Wine with an Xvfb of its own.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SENTREL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
cd "$build"
ctest --output-on-failure --timeout 600 -j2
