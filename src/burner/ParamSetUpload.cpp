#include "burner/ParamSetUpload.h"

#include "burner/SingleParam.h"
#include "link/DeviceLink.h"
#include "link/Packet.h"

namespace tuvik {

const QString ParamSetUpload::kOkText = QStringLiteral("Flamora parameters upload OK");
const QString ParamSetUpload::kFailText = QStringLiteral("Parameters upload FAILLED!!");
const QString ParamSetUpload::kExchangeName = QStringLiteral("parameter set upload");

ParamSetUpload::ParamSetUpload(const DeviceAnswers* answers, QObject* parent)
    : QObject(parent), sequence_(answers) {
    connect(&sequence_, &AckedWriteSequence::progress, this, &ParamSetUpload::progress);
    connect(&sequence_, &AckedWriteSequence::finished, this,
            [this](AckedWriteSequence::Outcome outcome) {
                const bool ok = outcome == AckedWriteSequence::Outcome::Accepted;
                emit finished(ok, ok ? kOkText : kFailText);
            });
}

ParamSetUpload::~ParamSetUpload() = default;

ParamSetUpload::Start ParamSetUpload::start(DeviceLink* link, const QStringList& boxTexts,
                                            QString* reason) {
    auto refuse = [&](const QString& why) {
        if (reason) {
            *reason = why;
        }
        return Start::Refused;
    };
    if (running()) {
        return refuse(QStringLiteral("The parameter upload is already running."));
    }
    if (!link || !link->PortOpen()) {
        return refuse(QStringLiteral("Not connected: the parameters cannot be sent."));
    }
    if (ParamSetLooksUnread(boxTexts)) {
        link->SendPacket(Cmd::ReadParamSet);
        return Start::GetInstead;
    }
    std::vector<UploadBlock> blocks;
    for (int b = 0; b < kUploadBlockCount; ++b) {
        auto built = BuildUploadBlock(b, boxTexts);
        if (const BadBox* bad = std::get_if<BadBox>(&built)) {
            return refuse(bad->message + QStringLiteral(" Nothing was sent."));
        }
        blocks.push_back(std::move(std::get<UploadBlock>(built)));
    }
    using Seq = AckedWriteSequence;
    Seq::Plan plan;
    plan.exchange = kExchangeName;
    plan.total = kSteps;
    plan.accept = [](int16_t acks) { return acks > 2; };  // all three blocks taken
    // The burner takes the new set into use, as with the "InitParams" button.
    plan.commit = [](DeviceLink& l) { l.SendPacket(Cmd::Commit); };
    plan.refresh = Seq::Refresh::AsItWas;
    plan.steps = {
        Seq::Write(blocks[0].address, blocks[0].bytes),
        Seq::Progress(1),
        Seq::Pause(pauseMs_),
        Seq::Progress(2),
        Seq::Write(blocks[1].address, blocks[1].bytes),
        Seq::Write(blocks[2].address, blocks[2].bytes),
        Seq::Progress(3),
        Seq::Pause(pauseMs_),
        // The periodic request comes back while the acknowledgements are awaited.
        Seq::RefreshBack(),
        Seq::Progress(4),
        Seq::Pause(pauseMs_),
        Seq::Progress(5),
        Seq::Pause(pauseMs_),
    };
    switch (sequence_.start(link, std::move(plan))) {
        case Seq::Start::Busy:
            return refuse(ExchangeGuard::BusyMessage());
        case Seq::Start::NotSent:
            // The first block did not go out: there is no upload to report on.
            return refuse(NotSentMessage());
        case Seq::Start::Running:
            break;
    }
    return Start::Started;
}

}  // namespace tuvik
