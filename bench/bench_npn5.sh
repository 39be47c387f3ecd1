#!/usr/bin/env bash
# Builds and runs the five-input benchmarks against the core library of a
# configured build folder (default build/dev, see the README's core-only build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
cmake --build "$build" --target vexil_core >/dev/null
for bench in bench_npn5_first_query bench_canonise; do
  g++ -std=c++20 -O3 -march=native -DNDEBUG -Wall -Wextra -Wno-psabi -Isrc -I. "bench/$bench.cpp" \
    "$build/libvexil_core.a" "$build/libvexil_npn5.a" -lpthread -o "$build/$bench"
  "$build/$bench"
done
