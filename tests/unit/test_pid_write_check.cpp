// The PID send as a safe write: which fields a status record reports, under
// which names and with which values; the verdict of a read-back at single
// precision; the marks of edited values.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <array>

#include <cmath>

#include "link/Packet.h"
#include "pid/PidWriteCheck.h"

using namespace tuvik;

namespace {

// A status record with a different value in every reported field, laid out
// by literal offsets (the live values sit between Tm and h).
std::array<uint8_t, 88> Record() {
    std::array<uint8_t, 88> r{};
    r[0] = 0x02 | 0x08;  // automatic, automatic setpoint
    r[1] = 1;            // enabled
    r[2] = 3;            // measure port
    r[3] = 4;            // forward port
    r[4] = 1;            // inverted
    r[5] = 0;            // remote setpoint off
    r[6] = 7;            // setpoint port
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
    const std::pair<const char*, const char*> rows[PidField::kCount] = {
        {"PID MODE", "Automatic"},
        {"Enable", "1"},
        {"Remote setpoint", "0"},
        {"Setpoint value", "120.25"},
        {"Max controller out (%)", "450"},
        {"Min controller out (%)", "20"},
        {"K", "2.5"},
        {"Ti", "75"},
        {"Td", "0.1"},
        {"Tt", "2"},
        {"N", "4"},
        {"b", "0.75"},
        {"forward connection K", "-3.5"},
        {"Tm", "1.25"},
        {"PID cycle h", "0.05"},
        {"Measure port", "3"},
        {"Forward port", "4"},
        {"Setpoint port", "7"},
        {"Manual", "37.5"},
        {"Inverted mode", "1"},
    };
    for (int f = 0; f < PidField::kCount; ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(PidFieldName(f), QString::fromLatin1(rows[f].first));
        EXPECT_EQ(t[static_cast<size_t>(f)], QString::fromLatin1(rows[f].second));
    }
    // The scales are written but not reported: their boxes have no field.
    for (int box : {PidBox::MeasureScale, PidBox::ForwardScale, PidBox::SetpointScale}) {
        EXPECT_EQ(PidFieldOfBox(box), -1);
    }
    EXPECT_FALSE(PidStatusSettings(std::span<const uint8_t>(Record()).first(87)));
    // Only the first two selector entries are the loops the record reports.
    EXPECT_TRUE(PidStatusReportsLoop(0) && PidStatusReportsLoop(1));
    EXPECT_FALSE(PidStatusReportsLoop(2) || PidStatusReportsLoop(3));
}

TEST(PidWriteCheck, TheDiffAndTheReadBackVerdict) {
    const PidSettings device = *PidStatusSettings(Record());
    PidSettings sent = device;
    sent.K = 0.1f;         // typed "0.1": equal to the single the controller returns
    sent.ForwardK = 0.0f;  // non-zero to 0: flagged
    sent.InvertedMode = false;
    sent.MeasureScale = 5.0f;  // not reported: not part of the check
    WriteCheck check = MakePidWriteCheck(sent);
    ASSERT_EQ(check.size(), PidField::kCount);
    SetPidDeviceValues(check, device);
    EXPECT_EQ(check.ChangedCount(), 3);
    const QString diff = check.DiffText();
    EXPECT_TRUE(diff.contains(QRegularExpression(QStringLiteral("\\n\\* K +2\\.5 +0\\.1\\n"))))
        << diff.toStdString();
    EXPECT_TRUE(diff.contains(
        QRegularExpression(QStringLiteral("\\n\\* forward connection K +-3\\.5 +0 +<- set to 0!"))))
        << diff.toStdString();
    EXPECT_TRUE(diff.contains(
        QRegularExpression(QStringLiteral("\\n\\* Inverted mode +1 +0 +<- set to 0!\\n"))));

    // The setpoint the record reports follows the loop's cycle: shown before,
    // not verified after.
    EXPECT_EQ(MakePidWriteCheck(sent, true).IndexOf(QStringLiteral("Setpoint value")), -1);
    check = MakePidWriteCheck(sent, true);
    ASSERT_EQ(check.size(), PidField::kCount - 1);

    struct Case {
        const char* name;
        float k;  // K read back
        bool verified;
    };
    const Case cases[] = {
        {"the same single", 0.1f, true},
        {"one step off at single precision", std::nextafter(0.1f, 1.0f), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PidSettings back = sent;
        back.K = c.k;
        back.MeasureScale = 0.0f;
        check.ClearReadBack();
        SetPidReadBack(check, back);
        EXPECT_EQ(check.Verified(), c.verified);
        EXPECT_EQ(check.DifferencesText(),
                  c.verified ? QString()
                             : QStringLiteral("K: sent 0.1, now in the device ") +
                                   PidSettingsTexts(back)[PidField::FirstBox + PidBox::K]);
    }
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
    v.remoteSetpoint = 0;
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
