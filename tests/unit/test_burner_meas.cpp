#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "TestUtil.h"
#include "burner/MeasLog.h"

using namespace tuvik;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Written out column by column: fields start at 1, 15, 29, ... 141.
const QByteArray kHeader =
    "aika          Tgas          lambda        Twater        VFD           Tdevice       "
    "IR_sig        Progstate     DevState      Theater       ext2\r\n";

MeasLabels Labels() {
    MeasLabels l;
    l.tgas = QStringLiteral("300");
    l.lambda = QStringLiteral("21.5");
    l.twater = QStringLiteral("55.0");
    l.vfd = QStringLiteral("45");
    l.tdevice = QStringLiteral("30");
    l.irSig = QStringLiteral("80");
    l.progState = QStringLiteral(" Running     ");  // 13 characters: cut to 10
    l.devState = QStringLiteral("513");
    l.theater = QString::fromUtf8("Käy");  // 8-bit text in the file
    return l;
}

const QByteArray kRow =
    "14:05.09      300           21.5          55.0          45            30            "
    "80             Running      513           K\xe4y                     \r\n";

class MeasLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        log = std::make_unique<MeasLog>(dir.path());
        log->setClock([this] { return now; });
        QObject::connect(log.get(), &MeasLog::userNotice,
                         [this](const QString& t) { notices << t; });
    }
    QString Today() const {
        return dir.filePath(QStringLiteral("Flamorifier_MEAS_2012_12_19.txt"));
    }
    void AddRows(int n) {
        for (int i = 0; i < n; ++i) {
            log->MeasuresUpdated(Labels());
        }
    }
    // A folder below a plain file cannot be created, whoever runs the test.
    void BlockFolder() {
        QDir(dir.filePath(QStringLiteral("blocker"))).removeRecursively();
        QFile f(dir.filePath(QStringLiteral("blocker")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        log->setFolder(dir.filePath(QStringLiteral("blocker/meas")));
    }
    void UnblockFolder() { ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("blocker")))); }
    QString BlockedFile() const {
        return dir.filePath(QStringLiteral("blocker/meas/Flamorifier_MEAS_2012_12_19.txt"));
    }

    QTemporaryDir dir;
    QDateTime now{QDate(2012, 12, 19), QTime(14, 5, 9)};
    std::unique_ptr<MeasLog> log;
    QStringList notices;
};

}  // namespace

TEST_F(MeasLogTest, RowLayoutByteForByteAndHeaderOncePerDay) {
    log->MeasuresUpdated(Labels());
    EXPECT_EQ(log->measPlace(), 0) << "nothing is stored while logging is off";

    log->setSaving(true);
    log->MeasuresUpdated(Labels());
    EXPECT_EQ(log->measPlace(), 1);
    EXPECT_EQ(log->MeasRows(0, 7), QStringLiteral(" Running  "));
    EXPECT_EQ(log->MeasRows(0, 10), QString(10, QLatin1Char(' ')));

    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(log->measPlace(), 0);
    EXPECT_EQ(ReadAll(Today()), kHeader + kRow);

    // The same day: appended without a second header.
    log->MeasuresUpdated(Labels());
    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(ReadAll(Today()), kHeader + kRow + kRow);

    // The date of writing names the file: a new day starts with its header.
    now = QDateTime(QDate(2013, 1, 2), QTime(0, 0, 1));
    log->MeasuresUpdated(Labels());
    ASSERT_TRUE(log->Flush());
    QByteArray row = kRow;
    row.replace(0, 8, "00:00.01");
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("Flamorifier_MEAS_2013_01_02.txt"))),
              kHeader + row);
    EXPECT_TRUE(notices.isEmpty());
}

TEST_F(MeasLogTest, BatchOf182RowsGoesOutOnTheLastRow) {
    log->setSaving(true);
    AddRows(181);
    EXPECT_EQ(log->measPlace(), 181);
    EXPECT_FALSE(QFile::exists(Today()));

    AddRows(1);
    EXPECT_EQ(log->measPlace(), 0);
    const QByteArray written = ReadAll(Today());
    EXPECT_EQ(written.count("\r\n"), 1 + 182);
    EXPECT_EQ(written, kHeader + kRow.repeated(182));

    AddRows(1);
    EXPECT_EQ(log->measPlace(), 1);
    EXPECT_EQ(ReadAll(Today()).size(), written.size());
}

TEST_F(MeasLogTest, SwitchingOffAndClosingWriteTheBufferedRows) {
    log->setSaving(true);
    AddRows(3);
    log->setSaving(false);
    EXPECT_EQ(ReadAll(Today()), kHeader + kRow.repeated(3));

    // Rows still buffered when the log goes away (end of the program).
    log->setSaving(true);
    AddRows(2);
    log.reset();
    EXPECT_EQ(ReadAll(Today()), kHeader + kRow.repeated(5));
}

TEST_F(MeasLogTest, FailedWriteKeepsRowsAndTellsOnce) {
    BlockFolder();
    log->setSaving(true);
    AddRows(182 + 182 + 5);  // two failed batches and a few rows more
    EXPECT_EQ(log->measPlace(), 5);
    EXPECT_EQ(log->pendingCount(), 364);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("Error SaveMeasToFile: ")))
        << notices[0].toStdString();

    EXPECT_FALSE(log->Flush());
    EXPECT_EQ(notices.size(), 1);
    EXPECT_EQ(log->pendingCount(), 369);

    UnblockFolder();
    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(log->pendingCount(), 0);
    EXPECT_EQ(ReadAll(BlockedFile()), kHeader + kRow.repeated(369));

    // After a success a new failure is told again.
    BlockFolder();
    AddRows(1);
    EXPECT_FALSE(log->Flush());
    EXPECT_EQ(notices.size(), 2);
}

// A disk that takes the open but refuses the bytes (the day's file is a link
// to /dev/full): the rows wait, the user is told once, and they are written
// exactly once when the disk takes them again.
TEST_F(MeasLogTest, DiskThatRefusesTheBytesKeepsTheRowsUntilItTakesThem) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Today()));
    log->setSaving(true);
    AddRows(182 + 3);
    EXPECT_FALSE(log->Flush());
    EXPECT_FALSE(log->Flush());
    EXPECT_EQ(log->pendingCount(), 185);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("Error SaveMeasToFile: ")));

    ASSERT_TRUE(QFile::remove(Today()));
    ASSERT_TRUE(log->Flush());
    EXPECT_EQ(log->pendingCount(), 0);
    EXPECT_EQ(ReadAll(Today()), kHeader + kRow.repeated(185));
}

TEST_F(MeasLogTest, WaitingRowsAreBoundedNewestKept) {
    BlockFolder();
    log->setPendingLimit(4);
    log->setSaving(true);
    for (int i = 0; i < 6; ++i) {
        now = now.addSecs(1);
        log->MeasuresUpdated(Labels());
        log->Flush();
    }
    EXPECT_EQ(log->pendingCount(), 4);
    EXPECT_EQ(log->droppedRows(), 2);

    UnblockFolder();
    ASSERT_TRUE(log->Flush());
    const QByteArray written = ReadAll(BlockedFile());
    EXPECT_EQ(written.count("\r\n"), 1 + 4);
    EXPECT_TRUE(written.contains("\r\n14:05.12 ")) << written.constData();
    EXPECT_FALSE(written.contains("14:05.11 "));
    EXPECT_TRUE(written.endsWith(QByteArray(kRow).replace(0, 8, "14:05.15")));
}

TEST_F(MeasLogTest, UnsetClockWritesNothingButKeepsTheRows) {
    now = QDateTime(QDate(2000, 12, 31), QTime(23, 59, 59));
    log->setSaving(true);
    AddRows(2);
    EXPECT_FALSE(log->Flush());
    EXPECT_EQ(log->pendingCount(), 2);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(notices.size(), 1);

    now = QDateTime(QDate(2012, 12, 19), QTime(14, 5, 9));
    ASSERT_TRUE(log->Flush());
    QByteArray late = kRow;
    late.replace(0, 8, "23:59.59");
    EXPECT_EQ(ReadAll(Today()), kHeader + late + late);
}
