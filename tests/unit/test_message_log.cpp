#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "TestUtil.h"
#include "support/MessageLog.h"

using namespace tuvik;

namespace {

struct FakeLabels : BurnerLabelSource {
    QString tgas = QStringLiteral("300");
    QString twater = QStringLiteral("55.0");
    QString ir = QStringLiteral("80");
    QString vfd = QStringLiteral("45");
    QString TgasText() const override { return tgas; }
    QString TwaterText() const override { return twater; }
    QString IRsigText() const override { return ir; }
    QString VFDText() const override { return vfd; }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QByteArray kHeaderLine =
    "Date;Time;Device;acivity;clock;progState;Tg;Tgas;Tw;Twater;Ir;IRsig;vfd;Puhallin\r\n";

class MessageLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        log = std::make_unique<MessageLog>(dir.path());
        log->setLocale(QLocale::c());
        log->setClock([this] { return now; });
        log->setBurnerLabels(&labels);
        QObject::connect(log.get(), &MessageLog::userNotice,
                         [this](const QString& t) { notices << t; });
    }
    QString Today() const { return log->DailyFilePath(now.date()); }

    QTemporaryDir dir;
    QDateTime now{QDate(2026, 12, 5), QTime(14, 5, 9)};
    FakeLabels labels;
    std::unique_ptr<MessageLog> log;
    QStringList notices;
};

}  // namespace

TEST_F(MessageLogTest, ScreenTextNewestFirstAndFileLines) {
    log->AddMessage(QStringLiteral("Fuel   ; started ;12.3; Running     "));
    now = now.addSecs(1);
    labels.tgas = QStringLiteral("301");
    log->AddMessage(QStringLiteral("Air\xe4"));

    EXPECT_EQ(log->logText(),
              QStringLiteral("14:05:10 Air\xe4\t Tg:301 Tw:55.0\r\n"
                             "14:05:09 Fuel   ; started ;12.3; Running     \t Tg:300 Tw:55.0\r\n"));
    EXPECT_EQ(Today(), dir.filePath(QStringLiteral("Flamorifier_2026_12_05.csv")));
    // Header once, then one line per message, in 8-bit text.
    EXPECT_EQ(ReadAll(Today()),
              kHeaderLine +
                  "5 Dec 2026;14:05:09;Fuel   ; started ;12.3; Running     ; Tg:;300; Tw:;55.0; "
                  "IR:;80; VFD:;45\r\n"
                  "5 Dec 2026;14:05:10;Air\xe4; Tg:;301; Tw:;55.0; IR:;80; VFD:;45\r\n");
    EXPECT_EQ(log->pendingCount(), 0);
    EXPECT_TRUE(notices.isEmpty());

    // Clearing touches only the screen.
    log->Clear();
    EXPECT_TRUE(log->logText().isEmpty());
    log->AddMessage(QStringLiteral("C"));
    EXPECT_EQ(log->logText(), QStringLiteral("14:05:10 C\t Tg:301 Tw:55.0\r\n"));
    EXPECT_EQ(ReadAll(Today()).count("\r\n"), 4);

    // Without a burner window the readings are empty.
    log->setBurnerLabels(nullptr);
    log->AddMessage(QStringLiteral("D"));
    EXPECT_TRUE(log->logText().startsWith(QStringLiteral("14:05:10 D\t Tg: Tw:\r\n")));
    EXPECT_TRUE(ReadAll(Today()).endsWith("5 Dec 2026;14:05:10;D; Tg:;; Tw:;; IR:;; VFD:;\r\n"));
}

TEST_F(MessageLogTest, ScreenTextCutAt100001) {
    log->setBurnerLabels(nullptr);
    // Each screen line is 20 characters plus the message: "14:05:09 " m "\t Tg: Tw:\r\n".
    log->AddMessage(QString(99980, QLatin1Char('x')));
    ASSERT_EQ(log->logText().size(), 100000);  // exactly the limit stays whole

    log->Clear();
    log->AddMessage(QString(99961, QLatin1Char('y')));
    ASSERT_EQ(log->logText().size(), 99981);
    log->AddMessage(QString());
    ASSERT_EQ(log->logText().size(), 90000);
    EXPECT_TRUE(log->logText().startsWith(QStringLiteral("14:05:09 \t Tg: Tw:\r\n14:05:09 yyy")));
    EXPECT_TRUE(log->logText().endsWith(QLatin1Char('y')));
    // The file keeps every line whole.
    EXPECT_EQ(ReadAll(Today()).count("\r\n"), 4);
}

TEST_F(MessageLogTest, HeaderOnNewOrOneByteFileAndOnUnload) {
    // Unloading with nothing pending still starts today's file.
    ASSERT_TRUE(log->Unload());
    EXPECT_EQ(ReadAll(Today()), kHeaderLine);
    ASSERT_TRUE(log->Unload());
    EXPECT_EQ(ReadAll(Today()), kHeaderLine);

    QFile f(Today());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("\n");
    f.close();
    log->AddMessage(QStringLiteral("M"));
    EXPECT_EQ(ReadAll(Today()),
              "\n" + kHeaderLine + "5 Dec 2026;14:05:09;M; Tg:;300; Tw:;55.0; IR:;80; VFD:;45\r\n");
}

TEST_F(MessageLogTest, FailedWriteKeepsLinesAndTellsOnce) {
    // A folder below a plain file cannot be created, whoever runs the test.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    auto block = [&] {
        QDir(blocker).removeRecursively();
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    };
    block();
    log->setFolder(blocker + QStringLiteral("/logs"));

    log->AddMessage(QStringLiteral("A"));
    log->AddMessage(QStringLiteral("B"));
    EXPECT_EQ(log->pendingCount(), 2);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("Error saveLogData: ")))
        << notices[0].toStdString();
    EXPECT_TRUE(log->logText().startsWith(QStringLiteral("14:05:09 B")));

    ASSERT_TRUE(QFile::remove(blocker));
    log->AddMessage(QStringLiteral("C"));
    EXPECT_EQ(log->pendingCount(), 0);
    const QByteArray written = ReadAll(Today());
    EXPECT_EQ(written.count("\r\n"), 4);
    EXPECT_TRUE(written.startsWith(kHeaderLine + "5 Dec 2026;14:05:09;A;"));
    EXPECT_TRUE(written.contains("\r\n5 Dec 2026;14:05:09;B;"));
    EXPECT_TRUE(written.contains("\r\n5 Dec 2026;14:05:09;C;"));

    // After a success, a new failure is reported again.
    block();
    log->AddMessage(QStringLiteral("D"));
    EXPECT_EQ(notices.size(), 2);

    // Lines still pending when the log goes away get written then.
    ASSERT_TRUE(QFile::remove(blocker));
    log.reset();
    EXPECT_TRUE(ReadAll(dir.filePath(QStringLiteral("blocker/logs/Flamorifier_2026_12_05.csv")))
                    .endsWith("5 Dec 2026;14:05:09;D; Tg:;300; Tw:;55.0; IR:;80; VFD:;45\r\n"));
}

// The day's file is a link to /dev/full: opening works, writing does not.
TEST_F(MessageLogTest, DiskThatRefusesTheBytesKeepsTheLinesUntilItTakesThem) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Today()));
    log->AddMessage(QStringLiteral("A"));
    log->AddMessage(QStringLiteral("B"));
    EXPECT_EQ(log->pendingCount(), 2);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("Error saveLogData: ")));

    ASSERT_TRUE(QFile::remove(Today()));
    log->AddMessage(QStringLiteral("C"));
    EXPECT_EQ(log->pendingCount(), 0);
    const QByteArray written = ReadAll(Today());
    EXPECT_EQ(written.count(kHeaderLine), 1);
    EXPECT_EQ(written.count("\r\n"), 4) << "header and A, B, C once each";
    EXPECT_TRUE(written.startsWith(kHeaderLine + "5 Dec 2026;14:05:09;A;"));
    EXPECT_TRUE(written.endsWith("5 Dec 2026;14:05:09;C; Tg:;300; Tw:;55.0; IR:;80; VFD:;45\r\n"));
}

TEST_F(MessageLogTest, MidnightStartsNewDaysFile) {
    now = QDateTime(QDate(2026, 12, 5), QTime(23, 59, 59));
    log->AddMessage(QStringLiteral("late"));
    now = QDateTime(QDate(2026, 12, 6), QTime(0, 0, 1));
    log->AddMessage(QStringLiteral("early"));

    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("Flamorifier_2026_12_05.csv"))),
              kHeaderLine + "5 Dec 2026;23:59:59;late; Tg:;300; Tw:;55.0; IR:;80; VFD:;45\r\n");
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("Flamorifier_2026_12_06.csv"))),
              kHeaderLine + "6 Dec 2026;00:00:01;early; Tg:;300; Tw:;55.0; IR:;80; VFD:;45\r\n");
}

TEST(MessageLogTimeText, LocaleFormsKeepSeconds) {
    MessageLog log(QStringLiteral("/nonexistent"));
    const QTime t(14, 5, 9);
    log.setLocale(QLocale(QStringLiteral("fi_FI")));
    EXPECT_EQ(log.TimeText(t), QStringLiteral("14.05.09"));
    log.setLocale(QLocale(QStringLiteral("de_DE")));
    EXPECT_EQ(log.TimeText(t), QStringLiteral("14:05:09"));
    log.setLocale(QLocale(QStringLiteral("en_US")));
    EXPECT_TRUE(log.TimeText(t).startsWith(QStringLiteral("2:05:09")))
        << log.TimeText(t).toStdString();
}
