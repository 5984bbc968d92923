#!/bin/sh
# Installs what is missing, builds, and runs every test.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
cd build
ctest --output-on-failure --timeout 300
