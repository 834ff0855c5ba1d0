#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the intro.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh run
cmake -S . -B build/intro -DCMAKE_BUILD_TYPE=Release -DTAPEHISS_TESTS=OFF -DTAPEHISS_BENCH=OFF >/dev/null
cmake --build build/intro -j"$(nproc)" --target tapehiss
exec build/intro/tapehiss
