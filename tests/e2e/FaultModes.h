#pragma once
// The simulator's fault modes as the rows of a table: how each is switched
// on, and how an exchange may end under it.

#include <functional>
#include <vector>

#include "FaultInjector.h"

namespace tuvik::test {

enum class Expect { Fails, Succeeds, Either };

struct FaultMode {
    const char* name;
    std::function<void(sim::FaultInjector&)> set;
    Expect write;  // a send that counts one acknowledgement per block
    Expect read;   // reading a loop's settings
};

// extraAcks: what a second positive acknowledgement after every write does
// to a send (an exact count fails on it, a minimum count does not).
inline std::vector<FaultMode> FaultModes(Expect extraAcks) {
    using sim::Fault;
    using E = Expect;
    return {
        {"refused write", [](auto& f) { f.SetNext(Fault::NakWrite, 1); }, E::Fails, E::Succeeds},
        // A stray positive acknowledgement makes up the count of a refused write.
        {"refused write, stray ack",
         [](auto& f) {
             f.SetNext(Fault::NakWrite, 1);
             f.SetNext(Fault::ExtraAck, 1);
         },
         E::Fails, E::Succeeds},
        {"no replies", [](auto& f) { f.SetProbability(Fault::DropReply, 1.0); }, E::Fails,
         E::Fails},
        {"bad trailers", [](auto& f) { f.SetProbability(Fault::CorruptTrailer, 1.0); }, E::Fails,
         E::Fails},
        {"silent device", [](auto& f) { f.SetStopped(true); }, E::Fails, E::Fails},
        {"stops after one", [](auto& f) { f.StopAfter(1); }, E::Fails, E::Either},
        {"slower than the pauses", [](auto& f) { f.SetDelay(1500); }, E::Fails, E::Either},
        {"noise before replies", [](auto& f) { f.SetProbability(Fault::Garbage, 1.0); },
         E::Succeeds, E::Succeeds},
        {"extra positive acks", [](auto& f) { f.SetProbability(Fault::ExtraAck, 1.0); }, extraAcks,
         E::Succeeds},
        // Whether a reply this late still makes its window depends on how
        // busy the machine is: only the truth of the report is checked.
        {"slightly slow", [](auto& f) { f.SetDelay(10); }, E::Either, E::Either},
        {"connection closed", [](auto& f) { f.SetNext(Fault::Close, 1); }, E::Either, E::Either},
    };
}

}  // namespace tuvik::test
