#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TestUtil.h"
#include "link/Packet.h"
#include "link/RxState.h"
#include "shell/Session.h"

using namespace tuvik;

namespace {
struct Feeder : RxSink {
    ReplyReceiver* r;
    void OnPacket(uint8_t c, std::span<const uint8_t> d) override { r->HandleReply(c, d); }
    void OnBrokenPacket(uint8_t, int, uint8_t) override {}
};
}  // namespace

TEST(Session, StartLoadsTablesAndRoutesRepliesToTheLog) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile params(dir.filePath("PARAMS.h"));
    ASSERT_TRUE(params.open(QIODevice::WriteOnly));
    params.write("#define FUEL_MAX\t250 // max\r\n#define P 7\r\n");
    params.close();

    Session s(AppPaths(dir.path(), dir.path(), {}));
    s.Start();
    EXPECT_EQ(s.params().size(), 2);
    EXPECT_EQ(s.ctx().replyReceiver(), &s.dispatcher());

    // An actuator event reaches the message log and its daily file.
    const uint8_t ev[] = {1, 0x94, 123, 0, 0};
    Feeder f;
    f.r = s.ctx().replyReceiver();
    RxState rx;
    const QByteArray pkt = EncodePacket(Cmd::ActuatorEvent, std::span<const uint8_t>(ev, 5));
    rx.Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(pkt.constData()), pkt.size()), f);
    EXPECT_TRUE(s.log().logText().contains("Fuel   ; started ;12.3; Running     "));
    const QStringList files = QDir(dir.path()).entryList({"Flamorifier_*.csv"});
    ASSERT_EQ(files.size(), 1);
}
