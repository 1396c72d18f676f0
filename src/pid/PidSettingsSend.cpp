#include "pid/PidSettingsSend.h"

#include <QDate>
#include <QLocale>

#include "link/DeviceLink.h"
#include "link/Packet.h"
#include "link/SerialSpeed.h"
#include "pid/PidValidation.h"
#include "support/EventLog.h"
#include "support/LocaleText.h"
#include "support/Numbers.h"

namespace tuvik {

const QString PidSettingsSend::kExchangeName = QStringLiteral("PID settings send");

namespace {

constexpr int kSettleStep = PidSettingsSend::kWrites + 1;
constexpr int kTcpStep = kSettleStep + 1;
constexpr int kVerdictStep = kTcpStep + 1;

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
           QStringLiteral(" ") + TimeText() + QStringLiteral(" PID settings sent successfully!");
}

PidSettingsSend::PidSettingsSend(int16_t* writeAckCount, QObject* parent,
                                 int16_t* writeRefusedCount)
    : QObject(parent), ackCount_(writeAckCount), refusedCount_(writeRefusedCount) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &PidSettingsSend::Next);
}

PidSettingsSend::~PidSettingsSend() {
    abandon();
}

void PidSettingsSend::abandon() {
    if (!running()) {
        return;
    }
    timer_.stop();
    disconnect(lostConn_);
    disconnect(goneConn_);
    step_ = 0;
    loop_.reset();
    if (link_) {
        link_->SetRefreshTimer(true);
    }
    link_.clear();
    lock_.release();
}

void PidSettingsSend::setPauses(int writeMs, int settleMs, int tcpExtraMs) {
    writePauseMs_ = writeMs;
    settleMs_ = settleMs;
    tcpExtraMs_ = tcpExtraMs;
}

bool PidSettingsSend::start(clsPID T, uint8_t autoSetPoint, DeviceLink* link, bool overTcp) {
    if (running() || !lock_.acquire(kExchangeName)) {
        return false;
    }
    link_ = link;
    overTcp_ = overTcp;
    step_ = 1;
    if (link) {
        link->SetRefreshTimer(false);
        lostConn_ =
            connect(link, &DeviceLink::linkLost, this, [this](const QString& why) { Fail(why); });
        goneConn_ = connect(link, &QObject::destroyed, this,
                            [this] { Fail(QStringLiteral("The link was closed")); });
    }
    if (!link || !link->PortOpen()) {
        Fail(kTextPortNotOpen);
        return true;
    }
    loop_ = std::move(T);
    writes_ = ParameterWrites(*loop_);
    // The flag byte goes out through the temporary loop; it is acknowledged
    // like the writes that follow and counted with them.
    loop_->AutoSetPoint(autoSetPoint);
    if (!running()) {
        return true;  // the link went away while writing
    }
    if (ackCount_) {
        *ackCount_ = 0;
    }
    if (refusedCount_) {
        *refusedCount_ = 0;
    }
    Next();
    return true;
}

void PidSettingsSend::Next() {
    if (!running()) {
        return;
    }
    if (!link_) {
        Fail(QStringLiteral("The link was closed"));
        return;
    }
    if (step_ <= kWrites) {
        const Write& w = writes_[static_cast<size_t>(step_ - 1)];
        const bool sent = link_->WriteMemory(w.address, w.bytes);
        if (!running()) {
            return;  // the write ended the link, and with it this send
        }
        if (!sent) {
            Fail(kTextPortNotOpen);
            return;
        }
        emit progress(step_, kSteps);
        ++step_;
        timer_.start(writePauseMs_);
        return;
    }
    if (step_ == kSettleStep) {
        step_ = overTcp_ ? kTcpStep : kVerdictStep;
        timer_.start(settleMs_);
        return;
    }
    if (step_ == kTcpStep) {
        step_ = kVerdictStep;
        timer_.start(tcpExtraMs_);
        return;
    }
    const int16_t acks = ackCount_ ? *ackCount_ : 0;
    const bool refused = refusedCount_ && *refusedCount_ > 0;
    if (acks == kExpectedAcks && !refused) {
        Finish(Outcome::Sent, SuccessCaption());
    } else {
        Finish(Outcome::NotAcknowledged, QString());
    }
}

void PidSettingsSend::Fail(const QString& why) {
    if (!running()) {
        return;
    }
    WriteEventLog(QStringLiteral("Error Sendpid: ") + why);
    Finish(Outcome::Failed, why);
}

void PidSettingsSend::Finish(Outcome outcome, const QString& detail) {
    timer_.stop();
    disconnect(lostConn_);
    disconnect(goneConn_);
    step_ = 0;
    const QPointer<DeviceLink> link = link_;
    link_.clear();
    loop_.reset();
    if (outcome == Outcome::Sent && link) {
        // The controller takes the new block into use.
        link->SendRequest(Cmd::Commit);
    }
    if (link) {
        link->SetRefreshTimer(true);
    }
    lock_.release();
    emit progress(kSteps, kSteps);
    emit finished(outcome, detail);
}

}  // namespace tuvik
