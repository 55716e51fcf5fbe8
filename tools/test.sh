#!/bin/sh
# Installs what is missing, builds Sentrel and runs the whole test suite
# under Wine with an Xvfb of its own.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SENTREL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
cd "$build"
# Two tests at a time (the suite's two lanes). A test that fails is run once
# more: a few tests race with the machine's load when both cores are busy,
# and their second run says whether a fault is real.
ctest --output-on-failure --timeout 600 -j2 --repeat until-pass:2
