#!/bin/sh
# Installs what is missing, builds, and starts the console on the first serial port.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/bin/dravel
