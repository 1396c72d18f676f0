#pragma once
// The command line of tuvik-sim, parsed into the server's options and the
// fault modes to switch on at start.

#include "SimServer.h"

#include <QString>
#include <QStringList>

#include <array>

namespace tuvik::sim {

inline constexpr int kDefaultTcpPort = 10001;

struct SimLaunch {
    SimServerOptions server;
    std::array<FaultRate, kFaultCount> faults{};
    int delayMs = 0;
    int stopAfter = -1;  // answer this many requests, then stop; -1 = never stop
    bool printParams = false;
};

struct SimArguments {
    enum Kind { Run, Help, Error };
    Kind kind = Run;
    SimLaunch launch;
    QString text;  // the help text or the error
};

// args[0] is the program name.
SimArguments ParseSimArguments(const QStringList& args);
void ApplyFaults(const SimLaunch& launch, FaultInjector& faults);

}  // namespace tuvik::sim
