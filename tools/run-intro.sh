#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the intro.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTAPEHISS_TESTS=OFF -DTAPEHISS_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target tapehiss
exec build/release/tapehiss
