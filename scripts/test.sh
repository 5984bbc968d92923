#!/bin/sh
# Installs what is missing, builds, and runs every test: once as built for
# use; the in-process suite and the e2e test again in a Debian 13 root (a
# newer Qt); once more under AddressSanitizer and UndefinedBehaviorSanitizer
# (with clang, which also builds and runs the reply fuzzer for a bounded time).
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
(cd build && ctest --output-on-failure --timeout 300)
tests/debian13/run build

CC=clang CXX=clang++ cmake -S . -B build-asan -DDRAVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan --parallel "$(nproc)"
export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0"
(cd build-asan && ctest --output-on-failure --timeout 300)
