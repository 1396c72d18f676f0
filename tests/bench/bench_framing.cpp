// Receive framing throughput over a realistic reply mix.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <random>
#include <vector>

#include "link/Packet.h"
#include "link/RxState.h"

namespace {

struct CountingSink : tuvik::RxSink {
    size_t packets = 0;
    size_t bytes = 0;
    void OnPacket(uint8_t, std::span<const uint8_t> d) override {
        ++packets;
        bytes += d.size();
    }
    void OnBrokenPacket(uint8_t, int, uint8_t) override {}
};

std::vector<uint8_t> MakeStream(size_t target) {
    std::mt19937 rng(7);
    std::vector<uint8_t> out;
    const uint8_t cmds[] = {0x92, 0x96, 0x97, 0x86, 0x82, 0x89, 0x5C, 0x84};
    const int lens[] = {16, 16, 17, 1, 88, 16, 20, 36};
    while (out.size() < target) {
        const int k = static_cast<int>(rng() % 8);
        std::vector<uint8_t> d(static_cast<size_t>(lens[k]));
        for (auto& b : d) {
            b = static_cast<uint8_t>(rng());
        }
        const QByteArray p = tuvik::EncodePacket(cmds[k], d);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

void BM_FramingThroughput(benchmark::State& state) {
    const auto stream = MakeStream(1 << 20);
    const size_t chunk = static_cast<size_t>(state.range(0));
    tuvik::RxState rx;
    CountingSink sink;
    for (auto _ : state) {
        for (size_t i = 0; i < stream.size(); i += chunk) {
            const size_t n = std::min(chunk, stream.size() - i);
            rx.Feed(std::span<const uint8_t>(stream.data() + i, n), sink);
        }
        benchmark::DoNotOptimize(sink.packets);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(stream.size()));
}
// 1: the serial link's one byte per read; 64 and 4096: socket reads.
BENCHMARK(BM_FramingThroughput)->Arg(1)->Arg(64)->Arg(4096);

}  // namespace
