#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "device/Frames.h"

namespace {

// A receive buffer as a busy detector leaves it: a work result frame behind some noise.
void BM_ExtractWorkFrame(benchmark::State& state) {
  const std::string noise(static_cast<std::size_t>(state.range(0)), 'z');
  const std::string work("[$%]W\0\xf4\x01\x38\xff\x33y{#&}", 16);
  const std::string received = noise + work;
  TByteBuffer rx{};
  TByteBuffer frame{};
  for (auto _ : state) {
    std::memcpy(rx.data(), received.data(), received.size());
    auto count = static_cast<std::uint32_t>(received.size());
    benchmark::DoNotOptimize(ExtractFrame(rx, count, frame));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(received.size()));
}
BENCHMARK(BM_ExtractWorkFrame)->Arg(0)->Arg(64)->Arg(1024)->Arg(8076);

// The scan a listening loop makes on every pass when only part of a frame has arrived.
void BM_ScanIncompleteFrame(benchmark::State& state) {
  TByteBuffer rx{};
  TByteBuffer frame{};
  const std::string partial("[$%]W\0\xf4\x01", 8);
  std::memcpy(rx.data(), partial.data(), partial.size());
  for (auto _ : state) {
    auto count = static_cast<std::uint32_t>(partial.size());
    benchmark::DoNotOptimize(ExtractFrame(rx, count, frame));
  }
}
BENCHMARK(BM_ScanIncompleteFrame);

}  // namespace
