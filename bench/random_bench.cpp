// SPDX-License-Identifier: MIT
#include <benchmark/benchmark.h>

#include "runtime/random.h"

static void BM_RandomInt(benchmark::State& state) {
  SeedRandom(1);
  for (auto _ : state) benchmark::DoNotOptimize(RandomInt(768, 1280));
}
BENCHMARK(BM_RandomInt);

BENCHMARK_MAIN();
