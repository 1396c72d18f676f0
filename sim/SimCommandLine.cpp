#include "SimCommandLine.h"

#include <QCommandLineParser>

#include <cmath>

namespace tuvik::sim {

namespace {

struct FaultOption {
    Fault fault;
    const char* name;
    const char* what;
};
const FaultOption kFaultOptions[] = {
    {Fault::DropReply, "drop", "drop reply packets"},
    {Fault::CorruptTrailer, "corrupt", "send reply packets with a wrong trailer"},
    {Fault::NakWrite, "nak", "refuse memory writes (acknowledgement 0, nothing written)"},
    {Fault::ExtraAck, "extra-ack", "follow a write acknowledgement with a second one"},
    {Fault::Garbage, "garbage", "put 1-4 stray bytes in front of reply packets"},
    {Fault::Close, "close", "close the connection after a response"},
    {Fault::ForgetWrite, "forget", "acknowledge memory writes without storing them"},
    {Fault::MisStore, "misstore", "acknowledge memory writes but store the last byte one higher"},
};

SimArguments Fail(const QString& text) {
    SimArguments a;
    a.kind = SimArguments::Error;
    a.text = text;
    return a;
}

bool ReadInt(const QCommandLineParser& p, const QString& name, int lo, int hi, int& out,
             QString& error) {
    if (!p.isSet(name)) {
        return true;
    }
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < lo || v > hi) {
        error = QStringLiteral("--%1 wants a whole number from %2 to %3, not \"%4\"")
                    .arg(name)
                    .arg(lo)
                    .arg(hi)
                    .arg(p.value(name));
        return false;
    }
    out = v;
    return true;
}

bool ReadDouble(const QCommandLineParser& p, const QString& name, double lo, double hi, double& out,
                QString& error) {
    if (!p.isSet(name)) {
        return true;
    }
    bool ok = false;
    const double v = p.value(name).toDouble(&ok);
    if (!ok || !(v >= lo && v <= hi)) {
        error = QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                    .arg(name)
                    .arg(lo)
                    .arg(hi)
                    .arg(p.value(name));
        return false;
    }
    out = v;
    return true;
}

// One --plant value: LOOP:GAIN,TAU,DEAD[,NOISE[,BASE]], LOOP counted from 1
// as the tool shows the loops; what is left out keeps the loop's default.
bool ReadPlant(const QString& text, SimConfig& device, QString& error) {
    error = QStringLiteral(
                "--plant wants LOOP:GAIN,TAU,DEAD[,NOISE[,BASE]] with LOOP 1 to %1, "
                "a gain other than 0, TAU 0 to 100000 s, DEAD 0 to 3600 s and "
                "NOISE 0 or more, not \"%2\"")
                .arg(ControllerSim::kLoops)
                .arg(text);
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    bool ok = false;
    const int loop = text.left(colon).toInt(&ok);
    if (colon < 0 || !ok || loop < 1 || loop > ControllerSim::kLoops) {
        return false;
    }
    const QStringList parts = text.mid(colon + 1).split(QLatin1Char(','));
    if (parts.size() < 3 || parts.size() > 5) {
        return false;
    }
    double v[5] = {};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        v[i] = parts[i].toDouble(&ok);
        if (!ok || !std::isfinite(v[i]) || std::fabs(v[i]) > 1e6) {
            return false;
        }
    }
    PlantModel m = ControllerSim::Defaults()[loop - 1].plant;
    m.gain = v[0];
    m.timeConstant = v[1];
    m.deadTime = v[2];
    if (parts.size() > 3) {
        m.noise = v[3];
    }
    if (parts.size() > 4) {
        m.base = v[4];
    }
    if (m.gain == 0 || m.timeConstant < 0 || m.timeConstant > 100000 || m.deadTime < 0 ||
        m.deadTime > 3600 || m.noise < 0) {
        return false;
    }
    if (device.plants[loop - 1]) {
        error = QStringLiteral("--plant names loop %1 twice, the second time \"%2\"")
                    .arg(loop)
                    .arg(text);
        return false;
    }
    device.plants[loop - 1] = m;
    return true;
}

}  // namespace

SimArguments ParseSimArguments(const QStringList& args) {
    QCommandLineParser p;
    p.setApplicationDescription(
        "Simulated Tuvik controller with four PID loops and the Flamora pellet burner behind it.\n"
        "It serves the tool on a pseudo-terminal (always; its slave path is printed) and on a\n"
        "TCP relay port, one client per transport at a time. Simulated time is deterministic\n"
        "for a given seed. SIGINT or SIGTERM end it cleanly.");
    p.addHelpOption();
    p.addOptions({
        {"pty", "Also make PATH a symbolic link to the pseudo-terminal.", "PATH"},
        {"no-pty", "Do not open a pseudo-terminal."},
        {"tcp", "Serve the TCP relay on PORT (0 = any free port). Default 10001.", "PORT"},
        {"no-tcp", "Do not serve the TCP relay."},
        {"listen", "Address the TCP relay listens on. Default 127.0.0.1.", "ADDR"},
        {"seed", "Seed of the simulation. Default 1.", "N"},
        {"hw-version",
         "Burner firmware version; below 1506 the old measurement layout. "
         "Default 1506.",
         "N"},
        {"speed", "Run simulated time N times faster than real time. Default 1.", "N"},
        {"tick", "Real milliseconds per simulation step. Default 20.", "MS"},
        {"delay", "Hold every reply back for MS milliseconds.", "MS"},
        {"stop-after", "Answer N requests, then stop answering (0 = never answer).", "N"},
        {"trace", "Print every request and response in hex on stderr."},
        {"print-params", "Print the PARAMS.h that matches the simulated burner and exit."},
        {"plant",
         "The process behind loop LOOP (1-4): gain, time constant (s), dead time (s) and, if "
         "given, the sensor noise's standard deviation and the base level; what is left out "
         "keeps the loop's default. May be given for each loop.",
         "LOOP:GAIN,TAU,DEAD[,NOISE[,BASE]]"},
    });
    for (const FaultOption& f : kFaultOptions) {
        p.addOption({QString::fromLatin1(f.name),
                     QStringLiteral("Fault: %1, each time with probability P (0-1).").arg(f.what),
                     "P"});
        p.addOption({QStringLiteral("%1-next").arg(f.name),
                     QStringLiteral("Fault: %1, the next N times.").arg(f.what), "N"});
    }
    if (!p.parse(args)) {
        return Fail(p.errorText());
    }
    if (p.isSet("help")) {
        SimArguments a;
        a.kind = SimArguments::Help;
        a.text = p.helpText();
        return a;
    }
    if (!p.positionalArguments().isEmpty()) {
        return Fail(
            QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments().first()));
    }

    SimArguments a;
    SimLaunch& l = a.launch;
    QString error;
    l.server.pty = !p.isSet("no-pty");
    l.server.ptyLink = p.value("pty");
    if (!l.server.pty && !l.server.ptyLink.isEmpty()) {
        return Fail("--pty and --no-pty contradict each other");
    }
    int port = kDefaultTcpPort;
    int seed = 1;
    int hw = l.server.device.hwVersion;
    if (!ReadInt(p, "tcp", 0, 65535, port, error) ||
        !ReadInt(p, "seed", 0, INT32_MAX, seed, error) ||
        !ReadInt(p, "hw-version", 1, 32767, hw, error) ||
        !ReadInt(p, "tick", 1, 1000, l.server.tickMs, error) ||
        !ReadInt(p, "delay", 0, 60000, l.delayMs, error) ||
        !ReadInt(p, "stop-after", 0, INT32_MAX, l.stopAfter, error) ||
        !ReadDouble(p, "speed", 0.001, 100000.0, l.server.speed, error)) {
        return Fail(error);
    }
    if (p.isSet("no-tcp") && p.isSet("tcp")) {
        return Fail("--tcp and --no-tcp contradict each other");
    }
    l.server.tcpPort = p.isSet("no-tcp") ? -1 : port;
    if (!l.server.pty && l.server.tcpPort < 0 && !p.isSet("print-params")) {
        return Fail("with --no-pty and --no-tcp there is nothing to serve");
    }
    if (p.isSet("listen")) {
        const QHostAddress addr(p.value("listen"));
        if (addr.isNull()) {
            return Fail(
                QStringLiteral("--listen wants an IP address, not \"%1\"").arg(p.value("listen")));
        }
        l.server.listen = addr;
    }
    l.server.device.seed = static_cast<uint64_t>(seed);
    l.server.device.hwVersion = hw;
    l.server.trace = p.isSet("trace");
    l.printParams = p.isSet("print-params");
    for (const QString& plant : p.values("plant")) {
        if (!ReadPlant(plant, l.server.device, error)) {
            return Fail(error);
        }
    }
    for (const FaultOption& f : kFaultOptions) {
        FaultRate& r = l.faults[static_cast<int>(f.fault)];
        if (!ReadDouble(p, f.name, 0.0, 1.0, r.probability, error) ||
            !ReadInt(p, QStringLiteral("%1-next").arg(f.name), 0, INT32_MAX, r.next, error)) {
            return Fail(error);
        }
    }
    return a;
}

void ApplyFaults(const SimLaunch& l, FaultInjector& faults) {
    for (int i = 0; i < kFaultCount; ++i) {
        faults.Set(static_cast<Fault>(i), l.faults[i]);
    }
    faults.SetDelay(l.delayMs);
    if (l.stopAfter == 0) {
        faults.SetStopped(true);
    } else if (l.stopAfter > 0) {
        faults.StopAfter(l.stopAfter);
    }
}

}  // namespace tuvik::sim
