// Arbitrary bytes through the receive framing into the reply dispatcher, with
// the real loop objects and analog trends behind it and recording stand-ins
// for the windows. The first three bytes choose the selected loop, the
// burner's identification, the decimal separator and the read chunk size.
#include <cstddef>
#include <cstdint>
#include <span>

#include "../common/RecordingTargets.h"
#include "FuzzUtil.h"
#include "shell/DispatchState.h"
#include "shell/ReplyDispatcher.h"
#include "link/RxState.h"
#include "support/EventLog.h"
#include "support/Numbers.h"

using tuvik::fuzz::Check;

namespace {

struct DispatchSink : tuvik::RxSink {
    tuvik::ReplyReceiver* receiver = nullptr;
    void OnPacket(uint8_t c, std::span<const uint8_t> d) override { receiver->HandleReply(c, d); }
    void OnBrokenPacket(uint8_t, int, uint8_t) override {}
};

// Every sample the dispatcher stores is a number no larger than the ceiling.
void CheckTrend(const tuvik::TrendArray& t, int series) {
    for (int s = 0; s < series; ++s) {
        for (int p = tuvik::TrendArray::kFirstSample; p <= tuvik::TrendArray::kLastPoint; ++p) {
            const tuvik::TrendCell& c = t.at(s, p);
            Check(c.isEmpty() || (c.isNumber() && c.number() <= 30000.0));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    static const float kVersions[] = {0.0f, 1.498f, 1.499f, 1.505f, 1.506f, 2.0f};

    tuvik::RecordingEventLog log;
    tuvik::ScopedEventLog scoped(log);
    tuvik::PidLoops loops;
    loops.InitialiseStartupLoops();
    loops.SetSelectedIndex(static_cast<int>(data[0] % 6) - 1);
    tuvik::DispatchState state;
    const QChar savedSeparator = tuvik::DecimalSeparator();
    tuvik::SetDecimalSeparator((data[1] & 0x20) ? QLatin1Char(',') : QLatin1Char('.'));

    tuvik::ReplyDispatcher dispatcher(loops);
    QObject::connect(&dispatcher, &tuvik::ReplyDispatcher::analogSamples,
                     [&state](const auto& in) { state.PushAnalog(in); });
    tuvik::Clock clock;  // captions at one time of day
    clock.setSystem([] { return qint64{0}; });
    dispatcher.setClock(clock);
    tuvik::test::DispatchRecorder rec(dispatcher);
    rec.identity.BurnerHwVersion = kVersions[data[1] % 6];
    rec.identity.BurnerDevType = (data[1] & 0x10) ? 100 : data[1];

    DispatchSink sink;
    sink.receiver = &dispatcher;
    tuvik::RxState rx;
    const size_t chunk = static_cast<size_t>(data[2]) + 1;
    for (size_t i = 3; i < size; i += chunk) {
        const size_t n = std::min(chunk, size - i);
        rx.Feed(std::span<const uint8_t>(data + i, n), sink);
    }

    for (int i = 0; i < tuvik::PidLoops::kCount; ++i) {
        CheckTrend(loops[i].getTrendData(), 4);
    }
    CheckTrend(state.AnalogTrend1, 4);
    CheckTrend(state.AnalogTrend2, 4);
    for (const auto& [value, address] : rec.histogram) {
        Check(address >= 1696 && address < 1940 && value >= 0 && value <= 65535);
    }
    for (const auto& m : rec.measurements) {
        Check(!m.complete || m.twaterTenths.has_value());
    }
    tuvik::SetDecimalSeparator(savedSeparator);
    return 0;
}
