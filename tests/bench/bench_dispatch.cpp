// One live-value reply, framed from bytes, through the dispatcher into the
// selected loop's properties and trend table.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <vector>

#include "link/Packet.h"
#include "link/RxState.h"
#include "shell/ReplyDispatcher.h"

namespace {

struct DispatchSink : tuvik::RxSink {
    tuvik::ReplyReceiver* receiver = nullptr;
    void OnPacket(uint8_t c, std::span<const uint8_t> d) override { receiver->HandleReply(c, d); }
    void OnBrokenPacket(uint8_t, int, uint8_t) override {}
};

QByteArray LiveReply(float out, float meas, float sp, float fw) {
    std::vector<uint8_t> d(16);
    tuvik::PutSingle(d, 0, out);
    tuvik::PutSingle(d, 4, meas);
    tuvik::PutSingle(d, 8, sp);
    tuvik::PutSingle(d, 12, fw);
    return tuvik::EncodePacket(tuvik::Cmd::LiveValues, d);
}

void BM_DispatchLiveValues(benchmark::State& state) {
    tuvik::PidLoops loops;
    loops.InitialiseStartupLoops();
    loops.SetSelectedIndex(0);
    tuvik::ReplyDispatcher dispatcher(loops);
    int refreshes = 0;
    QObject::connect(&dispatcher, &tuvik::ReplyDispatcher::liveUpdated, [&](int) { ++refreshes; });
    DispatchSink sink;
    sink.receiver = &dispatcher;
    tuvik::RxState rx;

    // Values as a lambda loop reports them: a few decimals, varying per reply.
    std::vector<QByteArray> replies;
    for (int i = 0; i < 64; ++i) {
        replies.push_back(LiveReply(37.25f + 0.01f * static_cast<float>(i),
                                    0.873f + 0.001f * static_cast<float>(i), 1.05f,
                                    12.5f - 0.1f * static_cast<float>(i)));
    }
    size_t i = 0;
    for (auto _ : state) {
        const QByteArray& r = replies[i++ & 63];
        rx.Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(r.constData()),
                                         static_cast<size_t>(r.size())),
                sink);
    }
    benchmark::DoNotOptimize(refreshes);
    if (refreshes != static_cast<int>(state.iterations())) {
        state.SkipWithError("not every reply announced itself");
    }
}
BENCHMARK(BM_DispatchLiveValues);

}  // namespace
