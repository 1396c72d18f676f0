#include "pid/PidSettingsSend.h"

#include <QDate>
#include <QLocale>

#include "link/DeviceLink.h"
#include "link/Packet.h"
#include "pid/PidValidation.h"
#include "support/EventLog.h"
#include "support/LocaleText.h"
#include "support/Numbers.h"

namespace tuvik {

const QString PidSettingsSend::kExchangeName = QStringLiteral("PID settings send");

namespace {

std::vector<uint8_t> Singles(std::initializer_list<float> values) {
    std::vector<uint8_t> out(values.size() * 4);
    size_t i = 0;
    for (float v : values) {
        PutSingle(out, i, v);
        i += 4;
    }
    return out;
}

}  // namespace

PidSettingsSend::Target PidSettingsSend::TargetFor(int listIndex) {
    switch (listIndex) {
        case 0:
            return {0, 700};
        case 1:
            return {1, 800};
        case 2:
            return {1, 900};
        default:
            return {2, 1000};
    }
}

PidSettingsSend::Built PidSettingsSend::BuildLoop(const PidEditorValues& v, int listIndex,
                                                  DeviceLink* link) {
    Built out;
    const Target target = TargetFor(listIndex);
    clsPID T;
    T.Alusta(target.nameId, QStringLiteral(" "), target.base, link);
    QString why;
    auto take = [&](int box, ConversionResult (clsPID::*writer)(const QString&)) {
        const auto f = BoxToSingle(v.boxes[static_cast<size_t>(box)], &why);
        if (!f) {
            return false;
        }
        const ConversionResult r = (T.*writer)(SingleText(*f));
        if (!r) {
            why = r.description();
        }
        return r.ok();
    };
    auto port = [&](int box) -> std::optional<uint8_t> {
        const double r = RoundHalfEven(TextToNumber(v.boxes[static_cast<size_t>(box)]));
        if (r < 0.0 || r > 255.0) {
            why = QStringLiteral("Overflow");
            return std::nullopt;
        }
        return static_cast<uint8_t>(r);
    };

    if (const ConversionResult r = T.ManualVal(QString::number(v.manual)); !r) {
        out.error = r.description();
        return out;
    }
    T.AutoMode(v.automatic ? 1 : 0);
    T.Enable(static_cast<uint8_t>(v.enable != 0));
    const bool numbers = take(PidBox::Setpoint, &clsPID::Setpoint) && take(PidBox::K, &clsPID::K) &&
                         take(PidBox::Ti, &clsPID::Ti) && take(PidBox::Td, &clsPID::Td) &&
                         take(PidBox::ForwardK, &clsPID::ForwardK) &&
                         take(PidBox::tt, &clsPID::tt) && take(PidBox::N, &clsPID::N) &&
                         take(PidBox::b, &clsPID::b) && take(PidBox::MinContr, &clsPID::MinContr) &&
                         take(PidBox::MaxContr, &clsPID::MaxContr) &&
                         take(PidBox::Tm, &clsPID::Tm) && take(PidBox::h, &clsPID::h);
    if (!numbers) {
        out.error = why;
        return out;
    }
    const auto measure = port(PidBox::MeasurePort);
    const auto forward = measure ? port(PidBox::forwardPort) : std::nullopt;
    const auto remote = forward ? port(PidBox::RemoteSetpointPort) : std::nullopt;
    if (!remote) {
        out.error = why;
        return out;
    }
    T.MeasurePort(*measure);
    T.forwardPort(*forward);
    T.RemoteSetpointPort(*remote);
    if (!(take(PidBox::MeasureScale, &clsPID::MeasureScale) &&
          take(PidBox::ForwardScale, &clsPID::ForwardScale) &&
          take(PidBox::SetpointScale, &clsPID::SetpointScale))) {
        out.error = why;
        return out;
    }
    T.Enable(static_cast<uint8_t>(v.enable != 0 ? 1 : 0));
    T.RemoteSetpoint(static_cast<uint8_t>(v.remoteSetpoint != 0));
    out.loop = std::move(T);
    return out;
}

std::array<PidSettingsSend::Write, PidSettingsSend::kWrites> PidSettingsSend::ParameterWrites(
    const clsPID& T) {
    const PidSettings& s = T.Settings();
    const int a = T.Offset();
    const std::vector<uint8_t> flags = {
        static_cast<uint8_t>(s.AutoMode ? 0x02 : 0x00),
        static_cast<uint8_t>(s.Enable ? 1 : 0),
        s.MeasurePort,
        s.forwardPort,
        static_cast<uint8_t>(s.InvertedMode ? 1 : 0),
        static_cast<uint8_t>(s.RemoteSetpoint ? 1 : 0),
        s.RemoteSetpointPort,
    };
    return {{
        {a + 8, Singles({s.ManualVal, s.Setpoint, s.K, s.Ti, s.Td, s.ForwardK})},
        {a + 32, Singles({s.tt, s.N, s.b, s.MinContr})},
        {a + 48, Singles({s.MaxContr, s.Tm, s.h})},
        {a + 60, Singles({s.MeasureScale, s.ForwardScale, s.SetpointScale})},
        {a + 0, flags},
    }};
}

QString PidSettingsSend::SuccessCaption() {
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) +
           QStringLiteral(" ") + LocaleTimeOfDayNow() +
           QStringLiteral(" PID settings sent successfully!");
}

PidSettingsSend::PidSettingsSend(const DeviceAnswers* answers, QObject* parent)
    : QObject(parent), sequence_(answers) {
    connect(&sequence_, &AckedWriteSequence::progress, this, &PidSettingsSend::progress);
    connect(&sequence_, &AckedWriteSequence::finished, this, &PidSettingsSend::Ended);
}

PidSettingsSend::~PidSettingsSend() {
    abandon();
}

void PidSettingsSend::abandon() {
    sequence_.abandon();
    loop_.reset();
}

void PidSettingsSend::setPauses(int writeMs, int settleMs, int tcpExtraMs) {
    writePauseMs_ = writeMs;
    settleMs_ = settleMs;
    tcpExtraMs_ = tcpExtraMs;
}

bool PidSettingsSend::start(clsPID T, uint8_t autoSetPoint, DeviceLink* link) {
    if (running()) {
        return false;
    }
    AckedWriteSequence::Plan plan;
    plan.exchange = kExchangeName;
    plan.total = kSteps;
    plan.accept = [](int16_t acks) { return acks == kExpectedAcks; };
    // The controller takes the new block into use: 34 00 CB, one byte at a time.
    plan.commit = [](DeviceLink& l) { l.SendRequest(Cmd::Commit); };
    plan.refresh = AckedWriteSequence::Refresh::On;
    loop_ = std::move(T);
    // The flag byte goes out through the temporary loop; it is acknowledged
    // like the writes that follow and counted with them.
    plan.steps.push_back(
        AckedWriteSequence::Call([this, autoSetPoint] { loop_->AutoSetPoint(autoSetPoint); }));
    int done = 0;
    for (Write& w : ParameterWrites(*loop_)) {
        plan.steps.push_back(AckedWriteSequence::Write(w.address, std::move(w.bytes)));
        plan.steps.push_back(AckedWriteSequence::Progress(++done));
        plan.steps.push_back(AckedWriteSequence::Pause(writePauseMs_));
    }
    plan.steps.push_back(AckedWriteSequence::Pause(settleMs_));
    if (link && link->relayed()) {
        plan.steps.push_back(AckedWriteSequence::Pause(tcpExtraMs_));  // the relay's own delay
    }
    QString why;
    switch (sequence_.start(link, std::move(plan), &why)) {
        case AckedWriteSequence::Start::Busy:
            loop_.reset();
            return false;
        case AckedWriteSequence::Start::NotSent:
            // Reported as any failure of the send.
            emit progress(kSteps, kSteps);
            Ended(AckedWriteSequence::Outcome::Failed, why);
            break;
        case AckedWriteSequence::Start::Running:
            break;
    }
    return true;
}

void PidSettingsSend::Ended(AckedWriteSequence::Outcome outcome, const QString& why) {
    loop_.reset();
    switch (outcome) {
        case AckedWriteSequence::Outcome::Accepted:
            emit finished(Outcome::Sent, SuccessCaption());
            break;
        case AckedWriteSequence::Outcome::NotAcknowledged:
            emit finished(Outcome::NotAcknowledged, QString());
            break;
        case AckedWriteSequence::Outcome::Failed:
            WriteEventLog(QStringLiteral("Error Sendpid: ") + why);
            emit finished(Outcome::Failed, why);
            break;
    }
}

}  // namespace tuvik
