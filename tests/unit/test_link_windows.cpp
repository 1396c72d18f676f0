#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

#include "TestUtil.h"
#include "link/frmClient.h"
#include "link/frmRS232.h"
#include "shell/AppContext.h"

using namespace tuvik;
using namespace std::chrono_literals;
using tuvik::test::WaitUntil;

namespace {

template <typename T>
T* Find(QWidget& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

TEST(frmClientWindow, ControlsAndTexts) {
    AppContext ctx;
    frmClient w(ctx);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("TCP CLIENT"));
    auto* frame = Find<QGroupBox>(w, "Frame1");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), QStringLiteral("Remote"));
    auto* ip = Find<QLineEdit>(w, "txtRemoteIpAddress");
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(ip->text(), QStringLiteral("127.0.0.1"));
    auto* port = Find<QLineEdit>(w, "txtRemotePort");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->text(), QStringLiteral("10001"));
    auto* status = Find<QLineEdit>(w, "txtSocketStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), QStringLiteral("0"));
    EXPECT_NE(Find<QLineEdit>(w, "txtRemoteHostName"), nullptr);
    EXPECT_NE(Find<QLineEdit>(w, "txtOutput"), nullptr);
    auto* connectBtn = Find<QPushButton>(w, "cmdConnect");
    ASSERT_NE(connectBtn, nullptr);
    EXPECT_EQ(connectBtn->text(), QStringLiteral("CONNECT"));
    auto* refresh = Find<QPushButton>(w, "cmdSendString");
    ASSERT_NE(refresh, nullptr);
    EXPECT_EQ(refresh->text(), QStringLiteral("Refresh data"));
    QStringList labels;
    for (auto* l : w.findChildren<QLabel*>()) {
        labels << l->text();
    }
    EXPECT_TRUE(labels.contains(QStringLiteral("IP ADDRESS")));
    EXPECT_TRUE(labels.contains(QStringLiteral("HOST NAME")));
    EXPECT_TRUE(labels.contains(QStringLiteral("PORT")));
}

TEST(frmClientWindow, CloseOnlyHidesAndConnectUsesTheTypedAddress) {
    AppContext ctx;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    frmClient w(ctx);
    w.link().SetRemotePort(server.serverPort());
    w.link().Timer1().setInterval(10);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isHidden());
    w.show();

    auto* ip = Find<QLineEdit>(w, "txtRemoteIpAddress");
    ip->clear();
    QTest::keyClicks(ip, QStringLiteral("localhost"));
    EXPECT_EQ(w.link().RemoteHost(), QStringLiteral("localhost"));
    ip->setText(QStringLiteral("127.0.0.1"));
    QTest::mouseClick(Find<QPushButton>(w, "cmdConnect"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections(); }));
    EXPECT_EQ(Find<QLineEdit>(w, "txtRemoteHostName")->text(), QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(WaitUntil([&] { return Find<QLineEdit>(w, "txtSocketStatus")->text() == "7"; }));
    EXPECT_TRUE(ctx.LinkConnected());

    QTcpSocket* peer = server.nextPendingConnection();
    QTest::mouseClick(Find<QPushButton>(w, "cmdSendString"), Qt::LeftButton);
    QByteArray got;
    ASSERT_TRUE(WaitUntil([&] {
        got += peer->readAll();
        return got.contains("DG");
    }));
}

TEST(frmRS232Window, TitleFollowsTheLink) {
    AppContext ctx;
    FixedLinkSettings settings;
    settings.comPort = QStringLiteral("/dev/tuvik-no-such-port");
    ctx.setLinkSettings(&settings);
    frmRS232 w(ctx);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Serial interface"));
    ASSERT_NE(Find<QGroupBox>(w, "Frame1"), nullptr);
    EXPECT_FALSE(w.isVisible());

    const auto err = w.link().OpenPort();
    ASSERT_TRUE(err.has_value());
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral("  Error ") + err->description));
    EXPECT_EQ(w.windowTitle(), w.link().windowCaption());
}
