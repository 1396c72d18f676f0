// The daily files: the message log (screen text and one CSV line per event)
// and the burner's measurement log (fixed-width rows in batches).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "TestUtil.h"
#include "burner/MeasLog.h"
#include "pid/PidWriteCheck.h"
#include "support/MessageLog.h"
#include "support/WriteCheck.h"

using namespace tuvik;
using tuvik::test::ReadFile;

namespace {

const QByteArray kHeaderLine =
    "Date;Time;Device;acivity;clock;progState;Tg;Tgas;Tw;Twater;Ir;IRsig;vfd;Puhallin\r\n";

class MessageLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        log = std::make_unique<MessageLog>(dir.path());
        log->setLocale(QLocale::c());
        clock.setSystem([this] { return now.toMSecsSinceEpoch(); });
        log->setClock(clock);
        log->setReadings(readings);
        QObject::connect(log.get(), &MessageLog::userNotice,
                         [this](const QString& t) { notices << t; });
    }
    QString Today() const { return log->DailyFilePath(now.date()); }
    // A file line as the log writes it now: date and time in the log's locale,
    // then the four columns from Device to progState and the readings.
    QByteArray Line(const char* columns,
                    const char* readings = " Tg:;300; Tw:;55.0; IR:;80; VFD:;45") {
        return (QLocale::c().toString(now.date(), QLocale::ShortFormat) + ';' +
                log->LogTimeOfDay(now.time()) + ';' + QString::fromLatin1(columns) + ';' + readings)
                   .toLatin1() +
               "\r\n";
    }
    QString Screen(const QString& text, const QString& tg = QStringLiteral("300")) {
        return log->LogTimeOfDay(now.time()) + ' ' + text + "\t Tg:" + tg + " Tw:55.0\r\n";
    }

    QTemporaryDir dir;
    QDateTime now{QDate(2026, 12, 5), QTime(14, 5, 9)};
    Clock clock;
    LogReadings readings{"300", "55.0", "80", "45"};
    std::unique_ptr<MessageLog> log;
    QStringList notices;
};

}  // namespace

// An actuator's report fills the four columns from Device to progState; a
// note in words goes into Device with the next three empty. A ";" or a line
// break in any text, a reading too, adds no column and no line to the file.
TEST_F(MessageLogTest, ScreenNewestFirstAndFileLinesOfTheHeadersFourteenColumns) {
    log->AddActuatorEvent("Fuel   ", " started ", "12.3", " Running     ");
    const QByteArray first = Line("Fuel   ; started ;12.3; Running     ");
    const QString firstScreen = Screen(QStringLiteral("Fuel   ; started ;12.3; Running     "));
    now = now.addSecs(1);
    readings.tgas = QStringLiteral("3;0");
    log->setReadings(readings);
    const QString notes[] = {
        SafeWriteText::SingleWriteLog(300, QStringLiteral("5"), QStringLiteral("6"),
                                      QStringLiteral("6")),
        PidSafeWriteText::LogLine(QStringLiteral("PID 1"),
                                  SafeWriteText::MismatchTitle() + ": K: sent 1; Ti: sent 2"),
        SafeWriteText::BackupSaved(dir.filePath(QStringLiteral("a;b.PID"))),
        QStringLiteral("Connection lost: pts/3 (Resource error); trying again every second"),
        QStringLiteral("Step test: Ti 12;\r\nKp \xe4")};
    for (const QString& note : notes) {
        log->AddMessage(note);
    }
    EXPECT_TRUE(log->logText().startsWith(Screen(notes[4], "3;0")));  // the screen as it was
    EXPECT_TRUE(log->logText().endsWith(firstScreen));
    const QByteArray file = ReadFile(Today());
    EXPECT_TRUE(file.startsWith(kHeaderLine + first));
    EXPECT_TRUE(file.endsWith(
        Line("Step test: Ti 12,  Kp \xe4;;;", " Tg:;3,0; Tw:;55.0; IR:;80; VFD:;45")));
    for (const QByteArray& line : file.split('\n').mid(0, 7)) {
        EXPECT_EQ(line.count(';'), 13) << line.toStdString();
    }
    EXPECT_TRUE(notices.isEmpty());

    log->Clear();          // only the screen
    log->setReadings({});  // without a burner window the readings are empty
    log->AddMessage(QStringLiteral("D"));
    EXPECT_EQ(log->logText(), log->LogTimeOfDay(now.time()) + " D\t Tg: Tw:\r\n");
    EXPECT_TRUE(ReadFile(Today()).endsWith(Line("D;;;", " Tg:;; Tw:;; IR:;; VFD:;")));
    EXPECT_EQ(ReadFile(Today()).count("\r\n"), 8);
}

TEST_F(MessageLogTest, ScreenTextIsCutTo90000PastTheLimit) {
    log->setReadings({});
    const qsizetype line = (log->LogTimeOfDay(now.time()) + " \t Tg: Tw:\r\n").size();
    log->AddMessage(QString(100000 - line, QLatin1Char('x')));
    ASSERT_EQ(log->logText().size(), 100000);  // exactly the limit stays whole
    log->Clear();
    log->AddMessage(QString(100001 - 2 * line, QLatin1Char('y')));
    log->AddMessage(QString());
    ASSERT_EQ(log->logText().size(), 90000);
    EXPECT_TRUE(log->logText().endsWith(QLatin1Char('y')));
    EXPECT_EQ(ReadFile(Today()).count("\r\n"), 4) << "the file keeps every line whole";
}

TEST_F(MessageLogTest, HeaderOnANewOrOneByteFileAndOnUnload) {
    ASSERT_TRUE(log->Unload());
    ASSERT_TRUE(log->Unload());
    EXPECT_EQ(ReadFile(Today()), kHeaderLine);
    ASSERT_TRUE(test::WriteFile(Today(), "\n"));
    log->AddMessage(QStringLiteral("M"));
    EXPECT_EQ(ReadFile(Today()), "\n" + kHeaderLine + Line("M;;;"));

    now = QDateTime(QDate(2026, 12, 6), QTime(0, 0, 1));  // midnight starts the new day's file
    log->AddMessage(QStringLiteral("early"));
    EXPECT_EQ(ReadFile(dir.filePath("Flamorifier_2026_12_06.csv")), kHeaderLine + Line("early;;;"));
}

TEST_F(MessageLogTest, LinesThatCouldNotBeWrittenWaitAndTheUserIsToldOnce) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Today()));  // opens, takes no bytes
    log->AddMessage(QStringLiteral("A"));
    const QByteArray a = Line("A;;;");
    log->AddMessage(QStringLiteral("B"));
    EXPECT_EQ(log->pendingCount(), 2);
    EXPECT_TRUE(notices.size() == 1 && notices[0].startsWith("Error saveLogData: "));
    ASSERT_TRUE(QFile::remove(Today()));
    log->AddMessage(QStringLiteral("C"));
    EXPECT_EQ(log->pendingCount(), 0);
    EXPECT_EQ(ReadFile(Today()), kHeaderLine + a + Line("B;;;") + Line("C;;;"));

    // A folder that cannot be made: told again after the success; the
    // lines still waiting when the log goes away are written then.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    ASSERT_TRUE(test::WriteFile(blocker, "x"));
    log->setFolder(blocker + QStringLiteral("/logs"));
    log->AddMessage(QStringLiteral("D"));
    const QByteArray d = Line("D;;;");
    EXPECT_EQ(notices.size(), 2);
    ASSERT_TRUE(QFile::remove(blocker));
    log.reset();
    EXPECT_EQ(ReadFile(blocker + "/logs/Flamorifier_2026_12_05.csv"), kHeaderLine + d);
}

TEST(MessageLogTimeOfDay, TheLocalesShortTimeWithSecondsAdded) {
    MessageLog log(QStringLiteral("/nonexistent"));
    const QTime t(14, 5, 9);
    for (const char* name : {"fi_FI", "de_DE", "en_US", "C"}) {
        const QLocale l(QString::fromLatin1(name));
        log.setLocale(l);
        QString text = log.LogTimeOfDay(t);
        const QString shortText = l.toString(t, QLocale::ShortFormat);
        if (!l.timeFormat(QLocale::ShortFormat).contains(u's')) {  // without the added seconds
            ASSERT_TRUE(text.contains(QStringLiteral("09"))) << name;
            text.remove(text.lastIndexOf(QStringLiteral("09")) - 1, 3);
        }
        EXPECT_EQ(text, shortText) << name;
    }
}

namespace {

// Fields of 10 characters in zones of 14: they start at 1, 15, 29, ... 141.
const QByteArray kHeader =
    "aika          Tgas          lambda        Twater        VFD           Tdevice       "
    "IR_sig        Progstate     DevState      Theater       ext2\r\n";

const QByteArray kRow =
    "14:05.09      300           21.5          55.0          45            30            "
    "80             Running      513           K\xe4y                     \r\n";

QByteArray RowAt(const char* time) {
    return QByteArray(kRow).replace(0, 8, time);
}

class MeasLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        log = std::make_unique<MeasLog>(dir.path());
        clock.setSystem([this] { return now.toMSecsSinceEpoch(); });
        log->setClock(clock);
        QObject::connect(log.get(), &MeasLog::userNotice,
                         [this](const QString& t) { notices << t; });
    }
    QString Today() const {
        return dir.filePath(QStringLiteral("Flamorifier_MEAS_2012_12_19.txt"));
    }
    void AddRows(int n) {
        for (int i = 0; i < n; ++i) {
            log->MeasuresUpdated(labels);
        }
    }

    QTemporaryDir dir;
    Clock clock;
    QDateTime now{QDate(2012, 12, 19), QTime(14, 5, 9)};
    // A program state of 13 characters is cut to 10; the heater's text is 8-bit in the file.
    BurnerReadingTexts labels{"300", "21.5",          "55.0", "45", "30",
                              "80",  " Running     ", "513",  "Käy"};
    std::unique_ptr<MeasLog> log;
    QStringList notices;
};

}  // namespace

TEST_F(MeasLogTest, RowLayoutByteForByteAndAHeaderOncePerDaysFile) {
    AddRows(1);
    EXPECT_EQ(log->measPlace(), 0) << "nothing is stored while logging is off";
    log->setSaving(true);
    AddRows(1);
    ASSERT_TRUE(log->Flush());
    AddRows(1);
    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(ReadFile(Today()), kHeader + kRow + kRow);
    now = QDateTime(QDate(2013, 1, 2), QTime(0, 0, 1));  // the date of writing names the file
    AddRows(1);
    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(ReadFile(dir.filePath("Flamorifier_MEAS_2013_01_02.txt")),
              kHeader + RowAt("00:00.01"));
    EXPECT_TRUE(notices.isEmpty());
}

TEST_F(MeasLogTest, BatchesOf182AndTheRestWhenSwitchedOffOrClosed) {
    log->setSaving(true);
    AddRows(181);
    EXPECT_FALSE(QFile::exists(Today()));
    AddRows(1);
    EXPECT_EQ(ReadFile(Today()), kHeader + kRow.repeated(182));
    AddRows(3);
    log->setSaving(false);
    EXPECT_EQ(ReadFile(Today()), kHeader + kRow.repeated(185));
    log->setSaving(true);
    AddRows(2);
    log.reset();
    EXPECT_EQ(ReadFile(Today()), kHeader + kRow.repeated(187));
}

// The day's file is a link to /dev/full: it opens but takes no bytes.
TEST_F(MeasLogTest, RowsThatCouldNotBeWrittenWaitAndTheUserIsToldOnce) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Today()));
    log->setSaving(true);
    AddRows(182 + 3);
    EXPECT_FALSE(log->Flush());
    EXPECT_EQ(log->pendingCount(), 185);
    EXPECT_TRUE(notices.size() == 1 && notices[0].startsWith("Error SaveMeasToFile: "));
    ASSERT_TRUE(QFile::remove(Today()));
    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(ReadFile(Today()), kHeader + kRow.repeated(185));

    // A folder that cannot be made: the newest rows wait, up to the bound.
    ASSERT_TRUE(test::WriteFile(dir.filePath("blocker"), "x"));
    log->setFolder(dir.filePath(QStringLiteral("blocker/meas")));
    log->setPendingLimit(4);
    for (int i = 0; i < 6; ++i) {
        now = now.addSecs(1);
        AddRows(1);
        EXPECT_FALSE(log->Flush());
    }
    EXPECT_EQ(std::tuple(log->pendingCount(), log->droppedRows(), notices.size()),
              std::tuple(4, 2, 2));  // told again after the success
    ASSERT_TRUE(QFile::remove(dir.filePath("blocker")));
    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(
        ReadFile(dir.filePath("blocker/meas/Flamorifier_MEAS_2012_12_19.txt")),
        kHeader + RowAt("14:05.12") + RowAt("14:05.13") + RowAt("14:05.14") + RowAt("14:05.15"));
}

TEST_F(MeasLogTest, AClockThatWasNeverSetWritesNothingButKeepsTheRows) {
    now = QDateTime(QDate(2000, 12, 31), QTime(23, 59, 59));
    log->setSaving(true);
    AddRows(2);
    EXPECT_FALSE(log->Flush());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(notices.size(), 1);
    now = QDateTime(QDate(2012, 12, 19), QTime(14, 5, 9));
    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(ReadFile(Today()), kHeader + RowAt("23:59.59") + RowAt("23:59.59"));
}
