// The safe-write decisions: what a write changes, what the read-back found,
// and where backups go.
#include <gtest/gtest.h>

#include <QDateTime>

#include "support/WriteCheck.h"

using namespace tuvik;

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

TEST(WriteCheck, DiffTableAndReadBackVerdict) {
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
    check.SetReadBack(1, "0");
    check.SetReadBack(2, "1.0");
    EXPECT_TRUE(check.Verified());
    check.SetReadBack(1, "30");
    check.ClearReadBack();
    check.SetReadBack(0, "2.5");
    check.SetReadBack(1, "30");
    ASSERT_EQ(check.Differences().size(), 2u);
    EXPECT_EQ(check.DifferencesText(),
              "Ti: sent 0, now in the device 30\nTd: sent 1, now in the device (no answer)");

    // A field the device never reports is never verified (the PID scales show
    // how such fields are listed): with nothing else, nothing is.
    WriteCheck unreadable;
    unreadable.Add("Scale", "1.5", false);
    EXPECT_FALSE(unreadable.Verified()) << "nothing compared is nothing verified";
    EXPECT_FALSE(unreadable.DeviceRead());
}

TEST(WriteCheck, BackupPathIsDatedUnderBackupsWithASafeName) {
    const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3));
    EXPECT_EQ(BackupPath("/data", "Lambda loop/1", "PID", when),
              "/data/backups/2026-12-07_09-05-03_Lambda_loop_1.PID");
}
