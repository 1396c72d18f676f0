#pragma once
// A session with a recording link as the active, connected link, and replies
// that go through the real framing into the session's dispatcher.

#include <QFile>
#include <QTemporaryDir>

#include "RecordingDialogs.h"
#include "RecordingLink.h"
#include "link/Packet.h"
#include "link/RxState.h"
#include "shell/Session.h"

namespace tuvik::test {

class ReplyFeeder : public RxSink {
  public:
    explicit ReplyFeeder(Session& s) : session_(s) {}
    // The packet's bytes, framed as a link frames them.
    void Feed(const QByteArray& bytes) {
        rx_.Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                          static_cast<size_t>(bytes.size())),
                 *this);
    }
    void Reply(uint8_t cmd, std::vector<uint8_t> data) {
        Feed(EncodePacket(cmd, std::span<const uint8_t>(data.data(), data.size())));
    }
    void OnPacket(uint8_t c, std::span<const uint8_t> d) override {
        if (ReplyReceiver* r = session_.ctx().replyReceiver()) {
            r->HandleReply(c, d);
        }
    }
    void OnBrokenPacket(uint8_t, int, uint8_t) override {}

  private:
    Session& session_;
    RxState rx_;
};

struct BurnerSession {
    explicit BurnerSession(const QByteArray& params) {
        QFile f(dir.filePath(QStringLiteral("PARAMS.h")));
        ok = dir.isValid() && f.open(QIODevice::WriteOnly) && f.write(params) == params.size();
        f.close();
        session = std::make_unique<Session>(AppPaths(dir.path(), dir.path(), {dir.path()}));
        session->Start();
        session->ctx().setActiveLink(&link);
        session->ctx().setLinkConnected(true);
        feeder = std::make_unique<ReplyFeeder>(*session);
    }
    ~BurnerSession() { session->ctx().setActiveLink(nullptr); }

    QTemporaryDir dir;
    bool ok = false;
    RecordingLink link;
    RecordingDialogs dialogs;
    std::unique_ptr<Session> session;
    std::unique_ptr<ReplyFeeder> feeder;
};

}  // namespace tuvik::test
