// The safe-write decisions (what a write changes, what the read-back found,
// where backups go) and the PID send as a safe write: which fields a status record reports, under
// which names and with which values; the verdict of a read-back at single
// precision and what it names as not read back; the backups' names; the
// marks of edited values.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <array>

#include "link/Packet.h"
#include "pid/PidWriteCheck.h"
#include "support/WriteCheck.h"

using namespace tuvik;

namespace {

// A status record with a different value in every reported field, laid out
// by literal offsets (the live values sit between Tm and h).
std::array<uint8_t, 88> Record() {
    // Automatic with automatic setpoint, enabled, measure port 3, forward
    // port 4, inverted, remote setpoint off, setpoint port 7.
    std::array<uint8_t, 88> r{0x02 | 0x08, 1, 3, 4, 1, 0, 7};
    const std::pair<int, float> singles[] = {
        {8, 37.5f}, {12, 120.25f}, {16, 2.5f},  {20, 75.f}, {24, 0.1f},  {28, -3.5f},
        {32, 2.f},  {36, 4.f},     {40, 0.75f}, {44, 20.f}, {48, 450.f}, {52, 1.25f},
        {56, 9.f},  {60, 88.f},    {64, 0.05f}, {84, 55.f},
    };
    for (const auto& [offset, v] : singles) {
        PutSingle(r, static_cast<size_t>(offset), v);
    }
    return r;
}

}  // namespace

TEST(PidWriteCheck, AStatusRecordGivesEveryReportedFieldUnderTheEditorsName) {
    const auto device = PidStatusSettings(Record());
    ASSERT_TRUE(device);
    const PidFieldTexts t = PidSettingsTexts(*device);
    QStringList fields;
    for (int f = 0; f < PidField::kCount; ++f) {
        fields << PidFieldName(f) + '=' + t[static_cast<size_t>(f)];
    }
    EXPECT_EQ(fields.join("; "),
              "PID MODE=Automatic; Enable=1; Remote setpoint=0; Setpoint value=120.25; "
              "Max controller out (%)=450; Min controller out (%)=20; K=2.5; Ti=75; Td=0.1; Tt=2; "
              "N=4; b=0.75; forward connection K=-3.5; Tm=1.25; PID cycle h=0.05; Measure port=3; "
              "Forward port=4; Setpoint port=7; Manual=37.5; Inverted mode=1");
    // The scales are written but not reported: their boxes have no field.
    for (int box : {PidBox::MeasureScale, PidBox::ForwardScale, PidBox::SetpointScale}) {
        EXPECT_EQ(PidFieldOfBox(box), -1);
    }
    // Only the first two selector entries are the loops the record reports.
    EXPECT_TRUE(PidStatusReportsLoop(0) && PidStatusReportsLoop(1));
    EXPECT_FALSE(PidStatusReportsLoop(2) || PidStatusReportsLoop(3));
}

TEST(PidWriteCheck, TheDiffTheReadBackVerdictAndTheBackupsName) {
    const PidSettings device = *PidStatusSettings(Record());
    PidSettings sent = device;
    sent.K = 0.1f;         // typed "0.1": equal to the single the controller returns
    sent.ForwardK = 0.0f;  // non-zero to 0: flagged
    sent.InvertedMode = false;
    sent.MeasureScale = 5.0f;  // written, never reported
    WriteCheck check = MakePidWriteCheck(sent);
    ASSERT_EQ(check.size(), PidField::kCount + 3);
    SetPidDeviceValues(check, device);
    EXPECT_EQ(check.ChangedCount(), 3);
    const QString diff = PidConfirmDetail(1, check);
    for (const char* row :
         {"\\n\\* K +2\\.5 +0\\.1\\n", "\\n\\* forward connection K +-3\\.5 +0 +<- set to 0!",
          "\\n\\* Inverted mode +1 +0 +<- set to 0!\\n",
          "\\n  Setpoint value +120\\.25 +120\\.25\\n",
          "\\n  Measure scale +- +5\\n  Forward scale +- +1\\n"}) {
        EXPECT_TRUE(diff.contains(QRegularExpression(QString::fromLatin1(row)))) << row;
    }
    EXPECT_TRUE(PidConfirmDetail(2, check).startsWith(PidSafeWriteText::NotReported() + "\n"));

    // Every reported field is compared after the send, the setpoint while
    // remote setpoint stays off; the scales are named, never verified.
    const QString notRead =
        "\nMeasure scale: not read back\nForward scale: not read back"
        "\nSetpoint scale: not read back";
    struct Case {
        const char* name;
        float k, setpoint;  // read back
        bool remote;        // remote setpoint in what is sent
        const char* verdict;
    };
    const Case cases[] = {
        {"the same single", 0.1f, 120.25f, false, ""},
        {"one step off at single precision", std::nextafter(0.1f, 1.0f), 120.25f, false,
         "K: sent 0.1, now in the device 0.10000001"},
        {"the setpoint kept", 0.1f, 99.0f, false,
         "Setpoint value: sent 120.25, now in the device 99"},
        {"remote setpoint: its input's value", 0.1f, 99.0f, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sent.RemoteSetpoint = c.remote;
        PidSettings back = sent;
        back.K = c.k;
        back.Setpoint = c.setpoint;
        back.MeasureScale = 1.0f;
        check = MakePidWriteCheck(sent);
        SetPidReadBack(check, back);
        const PidReadBackVerdict v = JudgeReadBack("PID 1", check, "/b/x.PID");
        EXPECT_EQ(check.DifferencesText(), QString::fromLatin1(c.verdict));
        const QString head = *c.verdict ? SafeWriteText::MismatchTitle()
                                        : SafeWriteText::Verified() +
                                              (c.remote ? "\nSetpoint value: not read back" : "");
        EXPECT_EQ(v.status, head + notRead + "\n" + SafeWriteText::BackupSaved("/b/x.PID"));
        const QString logged = *c.verdict ? head + ": " + c.verdict : head;
        EXPECT_EQ(v.logLine,
                  PidSafeWriteText::LogLine("PID 1", logged + notRead).replace("\n", "; "));
    }

    // Backups of the two loops named "PID 1" get names of their own (loop
    // 1's is the flows' test), and the file name tells which loop a backup
    // was made of.
    QTemporaryDir dir;
    const PidBackup temperature =
        SavePidBackup(dir.path(), "PID 1", 1, device, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    ASSERT_FALSE(temperature.error);
    EXPECT_TRUE(temperature.path.endsWith("/backups/2026-01-02_03-04-05_PID_1_loop_2.PID"));
    EXPECT_EQ(PidBackupLoop(temperature.path), 1);
    EXPECT_EQ(PidBackupLoop("/b/PID_1_loop_2.PID"), std::nullopt) << "no backup's name";
}

TEST(PidWriteCheck, MarksOnlyWhatDiffersFromTheControllerAsLastRead) {
    PidSettings device = *PidStatusSettings(Record());
    device.Tm = 1.0f / 3.0f;
    PidEditorValues v;
    const PidFieldTexts held = PidSettingsTexts(device);
    for (int b = 0; b < PidBox::kCount; ++b) {
        const int f = PidFieldOfBox(b);
        v.boxes[static_cast<size_t>(b)] =
            f < 0 ? QStringLiteral("9") : held[static_cast<size_t>(f)];
    }
    v.automatic = true;
    v.enable = 1;
    v.manual = 38;                                      // the slider's whole number
    v.boxes[PidBox::K] = QStringLiteral("2.50");        // the same number
    v.boxes[PidBox::Ti] = QStringLiteral("76");         // edited
    v.boxes[PidBox::Td] = QStringLiteral("abc");        // no number: differs as text
    v.boxes[PidBox::Tm] = QStringLiteral("0.3333333");  // as a read shows 1/3: not marked

    PidFieldMarks expected{};
    expected[PidField::FirstBox + PidBox::Ti] = QStringLiteral("75");
    expected[PidField::FirstBox + PidBox::Td] = QStringLiteral("0.1");
    expected[PidField::Manual] = QStringLiteral("37.5");
    EXPECT_EQ(PidEditorMarks(v, device), expected);
    // Never read: nothing is marked.
    EXPECT_EQ(PidEditorMarks(v, std::nullopt), PidFieldMarks{});
}

TEST(WriteCheck, ComparesAtSinglePrecisionAndFlagsChangesAndZeroes) {
    struct Row {
        const char* device;
        const char* toWrite;
        bool changed;
        bool zeroed;
    };
    const Row rows[] = {
        {"0.1", "0.100000001", false, false},  // the same single
        {"0.1", "0.2", true, false},
        {"5", "0", true, true},
        {"-2", "0.0", true, true},
        {"0", "0", false, false},
        {"abc", "abc", false, false},
        {"abc", "abd", true, false},
        {"300", "300.0", false, false},
    };
    WriteCheck check;
    for (const Row& r : rows) {
        check.Add(QString::fromLatin1(r.device) + "->" + r.toWrite, r.toWrite);
    }
    EXPECT_FALSE(check.DeviceRead());
    EXPECT_FALSE(check.Changed(1)) << "never read: not marked";
    for (int i = 0; i < check.size(); ++i) {
        check.SetDevice(i, rows[i].device);
    }
    ASSERT_TRUE(check.DeviceRead());
    for (int i = 0; i < check.size(); ++i) {
        SCOPED_TRACE(check.fields()[static_cast<size_t>(i)].name.toStdString());
        EXPECT_EQ(check.Changed(i), rows[i].changed);
        EXPECT_EQ(check.Zeroed(i), rows[i].zeroed);
    }
    EXPECT_EQ(check.ChangedCount(), 4);
}

TEST(WriteCheck, DiffTableReadBackVerdictAndBackupPath) {
    WriteCheck check;
    check.Add("K", "2.5");
    check.Add("Ti", "0");
    check.Add("Td", "1");
    EXPECT_TRUE(check.DiffText().startsWith(SafeWriteText::NotRead() + "\n"));
    check.SetDevice(0, "2.5");
    check.SetDevice(1, "30");
    check.SetDevice(2, "0.5");
    EXPECT_EQ(check.DiffText(),
              "  Field  Device  New\n"
              "  K      2.5     2.5\n"
              "* Ti     30      0   <- set to 0!\n"
              "* Td     0.5     1\n"
              "2 of 3 values change.");

    EXPECT_FALSE(check.Verified()) << "nothing read back yet";
    check.SetReadBack(0, "2.5");
    check.SetReadBack(1, "30");
    ASSERT_EQ(check.Differences().size(), 2u);
    EXPECT_EQ(check.DifferencesText(),
              "Ti: sent 0, now in the device 30\nTd: sent 1, now in the device (no answer)");
    check.SetReadBack(1, "0");
    check.SetReadBack(2, "1.0");
    EXPECT_TRUE(check.Verified());

    // A field the device never reports is never verified (the PID scales show
    // how such fields are listed): with nothing else, nothing is.
    WriteCheck unreadable;
    unreadable.Add("Scale", "1.5", false);
    EXPECT_FALSE(unreadable.Verified()) << "nothing compared is nothing verified";
    EXPECT_FALSE(unreadable.DeviceRead());
    // Backups are dated, under backups/, with a name safe for any file system.
    const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3));
    EXPECT_EQ(BackupPath("/data", "Lambda loop/1", "PID", when),
              "/data/backups/2026-12-07_09-05-03_Lambda_loop_1.PID");
}
