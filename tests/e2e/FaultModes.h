#pragma once
// The simulator's fault modes as the rows of a table: how each is switched
// on, and how an exchange that counts acknowledgements may end under it.

#include <functional>
#include <vector>

#include "FaultInjector.h"

namespace tuvik::test {

enum class Expect { Fails, Succeeds, Either };

struct FaultMode {
    const char* name;
    std::function<void(sim::FaultInjector&)> set;
    Expect expect;
};

// extraAcks: what a second positive acknowledgement after every write does
// to the exchange (an exact count fails on it, a minimum count does not).
inline std::vector<FaultMode> FaultModes(Expect extraAcks) {
    using sim::Fault;
    return {
        {"refused write", [](auto& f) { f.SetNext(Fault::NakWrite, 1); }, Expect::Fails},
        // A stray positive acknowledgement makes up the count of a refused write.
        {"refused write, stray ack",
         [](auto& f) {
             f.SetNext(Fault::NakWrite, 1);
             f.SetNext(Fault::ExtraAck, 1);
         },
         Expect::Fails},
        {"no replies", [](auto& f) { f.SetProbability(Fault::DropReply, 1.0); }, Expect::Fails},
        {"bad trailers", [](auto& f) { f.SetProbability(Fault::CorruptTrailer, 1.0); },
         Expect::Fails},
        {"silent device", [](auto& f) { f.SetStopped(true); }, Expect::Fails},
        {"stops after one", [](auto& f) { f.StopAfter(1); }, Expect::Fails},
        {"slower than the pauses", [](auto& f) { f.SetDelay(1500); }, Expect::Fails},
        {"noise before replies", [](auto& f) { f.SetProbability(Fault::Garbage, 1.0); },
         Expect::Succeeds},
        {"extra positive acks", [](auto& f) { f.SetProbability(Fault::ExtraAck, 1.0); }, extraAcks},
        {"slightly slow", [](auto& f) { f.SetDelay(10); }, Expect::Succeeds},
        {"connection closed", [](auto& f) { f.SetNext(Fault::Close, 1); }, Expect::Either},
    };
}

}  // namespace tuvik::test
