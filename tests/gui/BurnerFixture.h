#pragma once
// A session with a recording link as the active, connected link, and replies
// that go through the real framing into the session's dispatcher.

#include <QTemporaryDir>

#include "RecordingDialogs.h"
#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "link/RxState.h"
#include "shell/Session.h"

namespace tuvik::test {

class ReplyFeeder : public RxSink {
  public:
    explicit ReplyFeeder(Session& s) : session_(s) {}
    // The packet's bytes, framed as a link frames them.
    void Feed(const QByteArray& bytes) { rx_.Feed(Bytes(bytes), *this); }
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
        ok = dir.isValid() && WriteFile(dir.filePath(QStringLiteral("PARAMS.h")), params);
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
