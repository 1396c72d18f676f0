// Pictures of the message log and the two link windows for the operator's
// guide. They are written only when TUVIK_SCREENSHOT_DIR names a folder;
// otherwise the tests skip, so an ordinary test run leaves no files behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include "PtyPeer.h"
#include "TestUtil.h"
#include "link/frmClient.h"
#include "link/frmRS232.h"
#include "shell/AppContext.h"
#include "support/MessageLog.h"
#include "support/frmMessage.h"

using namespace tuvik;

namespace {

QString ScreenshotDir() {
    return qEnvironmentVariable("TUVIK_SCREENSHOT_DIR");
}

// Lays the window out, renders it offscreen and writes it as <name>.png.
void Save(QWidget& w, const QString& name) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    test::Pump(std::chrono::milliseconds(100));
    const QPixmap shot = w.grab();
    ASSERT_FALSE(shot.isNull());
    const QString path = QDir(ScreenshotDir()).filePath(name + QStringLiteral(".png"));
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    EXPECT_TRUE(QPixmap(path).size() == shot.size());
}

// Readings as the burner window would show them beside each message.
class FixedBurnerLabels : public BurnerLabelSource {
  public:
    QString TgasText() const override { return QStringLiteral("270"); }
    QString TwaterText() const override { return QStringLiteral("50.6"); }
    QString IRsigText() const override { return QStringLiteral("756"); }
    QString VFDText() const override { return QStringLiteral("70"); }
};

class GuideScreens : public ::testing::Test {
  protected:
    void SetUp() override {
        if (ScreenshotDir().isEmpty()) {
            GTEST_SKIP() << "set TUVIK_SCREENSHOT_DIR to write the guide's pictures";
        }
        ASSERT_TRUE(QDir().mkpath(ScreenshotDir()));
    }
};

}  // namespace

TEST_F(GuideScreens, MessageLog) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    MessageLog log(dir.path());
    log.setLocale(QLocale::c());
    const FixedBurnerLabels labels;
    log.setBurnerLabels(&labels);
    int second = 0;
    log.setClock(
        [&second] { return QDateTime(QDate(2026, 12, 5), QTime(8, 0, 0).addSecs(7 * second++)); });
    // Activity reports as the burner sends them: name; started/stopped; clock; state.
    log.AddMessage(QStringLiteral("Fuel   ; started ;12.5; Startup     "));
    log.AddMessage(QStringLiteral("Ign    ; started ;12.5; Startup     "));
    log.AddMessage(QStringLiteral("Air    ; started ;13.1; Startup     "));
    log.AddMessage(QStringLiteral("Ign    ; stopped ;95.0; Running_init"));
    log.AddMessage(QStringLiteral("Fuel   ; stopped ;410.2; Running     "));

    frmMessage w(&log);
    w.resize(560, 260);
    Save(w, QStringLiteral("message-log"));
    w.Unload();
}

TEST_F(GuideScreens, SerialLinkWindow) {
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    AppContext ctx;
    FixedLinkSettings settings;
    settings.comPort = pty.path();
    ctx.setLinkSettings(&settings);
    frmRS232 w(ctx);
    ctx.setActiveLink(&w.link());
    ASSERT_FALSE(w.link().OpenPort().has_value());
    w.resize(260, 80);
    Save(w, QStringLiteral("serial-window"));
    w.link().Disconnect();
}

TEST_F(GuideScreens, TcpLinkWindow) {
    AppContext ctx;
    frmClient w(ctx);
    w.resize(320, 220);
    Save(w, QStringLiteral("tcp-window"));
}
