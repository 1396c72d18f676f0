#include <gtest/gtest.h>

#include "TestUtil.h"
#include "pid/PidEditorModel.h"
#include "pid/PidValidation.h"
#include "support/Numbers.h"

using namespace tuvik;
using tuvik::test::SeparatorGuard;

namespace {

// Values every rule set accepts.
PidEditorValues Good() {
    PidEditorValues v;
    v.boxes = {"50", "90", "10",  "2", "3", "0.5", "1", "3", "0.8",
               "0",  "1",  "0.1", "1", "2", "3",   "1", "1", "1"};
    v.automatic = true;
    v.enable = 1;
    v.remoteSetpoint = 0;
    v.manual = 40;
    return v;
}

struct Case {
    int box;
    const char* text;
    const char* message;  // nullptr: accepted
};

void Check(int listIndex, const Case& c) {
    SeparatorGuard sep(QLatin1Char('.'));
    clsPID loop;
    PidEditorValues v = Good();
    v.boxes[static_cast<size_t>(c.box)] = QString::fromLatin1(c.text);
    const ValidationOutcome out = ValidateSettings(&loop, listIndex, v);
    SCOPED_TRACE(testing::Message() << "loop " << listIndex << " box " << c.box << " = " << c.text);
    if (c.message == nullptr) {
        EXPECT_TRUE(out.ok) << out.messageText.toStdString();
        EXPECT_EQ(out.result(), QStringLiteral("OK"));
    } else {
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.result(), QStringLiteral("Error"));
        EXPECT_EQ(out.messageText,
                  QStringLiteral(" Error on PID setting: \r\n") + QString::fromLatin1(c.message));
    }
}

}  // namespace

TEST(PidValidation, LambdaLoopBoundsAreInclusiveAndEveryMessageIsExact) {
    const Case cases[] = {
        {0, "0", nullptr},
        {0, "3000", nullptr},
        {0, "3000.5", "Setpoint must be 0-3000!"},
        {0, "-0.5", "Setpoint must be 0-3000!"},
        {1, "500", nullptr},
        {1, "500.01", "MaxControll must be 0-500!"},
        {1, "-0.01", "MaxControll must be 0-500!"},
        {2, "0", nullptr},
        {2, "500", nullptr},
        {2, "500.5", " MinControll must be 0-500!"},
        {2, "-1", " MinControll must be 0-500!"},
        {3, "0", nullptr},
        {3, "200", nullptr},
        {3, "200.1", " K must be 0-200!"},
        {3, "-0.1", " K must be 0-200!"},
        {4, "0.01", nullptr},
        {4, "0.0099", " Ti must be at least 0.01!"},
        {5, "0", nullptr},
        {5, "-0.001", " Td must be at least 0!"},
        {6, "0.05", nullptr},
        {6, "0.049", " Tt must be at least 0.05!"},
        {7, "1", nullptr},
        {7, "5", nullptr},
        {7, "0.99", " N must be 1-5!"},
        {7, "5.01", " N must be 1-5!"},
        {8, "0.05", nullptr},
        {8, "1", nullptr},
        {8, "0.049", " b must be 0.05-1!"},
        {8, "1.01", " b must be 0.05-1!"},
        {9, "-10", nullptr},
        {9, "10", nullptr},
        {9, "-10.1", " Forward K must be -10-10!"},
        {9, "10.1", " Forward K must be -10-10!"},
        {10, "0.2", nullptr},
        {10, "0.19", " Tm must be at least 0.2!"},
        {11, "0.00099", nullptr},
        {11, "0.00098", " h must be at least 0.00099!"},
        {12, "4", nullptr},
        {12, "5", " Port must be between 1 and 4!"},
        {12, "0", " Port must be between 1 and 4!"},
        {13, "1", nullptr},
        {13, "5", " Port must be between 1 and 4!"},
        {14, "4", nullptr},
        {14, "0", " Port must be between 1 and 4!"},
        {15, "0", " Measurement scale can not be 0!"},
        {15, "-2", nullptr},
        {16, "0", " Forward scale can not be 0!"},
        {16, "0.001", nullptr},
        {17, "0", " Setpoint scale can not be 0!"},
    };
    for (const Case& c : cases) {
        Check(0, c);
    }
}

TEST(PidValidation, OtherLoopsHaveTighterBoundsAndSkipTheRest) {
    const Case common[] = {
        {0, "1000", nullptr},
        {0, "1000.5", "Setpoint must be 0-1000!"},
        {1, "100", nullptr},
        {1, "100.5", "MaxControll must be 0-100!"},
        {3, "10", nullptr},
        {3, "10.5", " K must be 0-10!"},
        {4, "0.2", nullptr},
        {4, "0.19", " Ti must be at least 0.2!"},
        {5, "-1", " Td must be at least 0!"},
        {6, "0.04", " Tt must be at least 0.05!"},
        {7, "6", " N must be 1-5!"},
        {8, "0.01", " b must be 0.05-1!"},
        {9, "0", nullptr},
        {9, "10", nullptr},
        {9, "-0.1", " Forward K must be 0-10!"},
        {10, "0.1", " Tm must be at least 0.2!"},
        // Not checked for these loops: the cycle time, ports and scales.
        {11, "0", nullptr},
        {12, "99", nullptr},
        {15, "0", nullptr},
        {17, "x", nullptr},
    };
    for (int loop = 1; loop <= 3; ++loop) {
        for (const Case& c : common) {
            Check(loop, c);
        }
    }
    for (int loop = 1; loop <= 2; ++loop) {
        Check(loop, {2, "100", nullptr});
        Check(loop, {2, "100.1", " MinControll must be 0-100!"});
    }
    Check(3, {2, "49", nullptr});
    Check(3, {2, "49.5", " MinControll must be 0-49!"});
}

TEST(PidValidation, RowsBeforeAFailureStayStoredAndLaterOnesDoNot) {
    SeparatorGuard sep(QLatin1Char('.'));
    clsPID loop;
    PidEditorValues v = Good();
    v.automatic = true;
    v.boxes[PidBox::Setpoint] = "750";
    v.boxes[PidBox::MaxContr] = "80";
    v.boxes[PidBox::K] = "11";  // too large for loop 1
    v.boxes[PidBox::Ti] = "7";
    const ValidationOutcome out = ValidateSettings(&loop, 1, v);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.messageText, QStringLiteral(" Error on PID setting: \r\n K must be 0-10!"));
    EXPECT_EQ(loop.AutoMode(), 1) << "the mode is stored before any row";
    EXPECT_EQ(loop.Setpoint(), QStringLiteral("750"));
    EXPECT_EQ(loop.MaxContr(), QStringLiteral("80"));
    EXPECT_EQ(loop.MinContr(), QStringLiteral("10"));
    EXPECT_EQ(loop.K(), QStringLiteral("0"));
    EXPECT_EQ(loop.Ti(), QStringLiteral("0"));
    EXPECT_EQ(loop.ManualVal(), QStringLiteral("0"));
}

TEST(PidValidation, AcceptedValuesAreAllStoredForTheLambdaLoop) {
    SeparatorGuard sep(QLatin1Char('.'));
    clsPID loop;
    PidEditorValues v = Good();
    v.automatic = false;
    v.enable = 1;
    v.remoteSetpoint = 1;
    v.manual = 100;
    v.boxes[PidBox::ForwardK] = "-2.5";
    v.boxes[PidBox::MeasurePort] = "3.6";  // a byte: rounded
    const ValidationOutcome out = ValidateSettings(&loop, 0, v);
    ASSERT_TRUE(out.ok) << out.messageText.toStdString();
    EXPECT_EQ(loop.AutoMode(), 0);
    EXPECT_EQ(loop.Enable(), 1);
    EXPECT_EQ(loop.RemoteSetpoint(), 1);
    EXPECT_EQ(loop.ManualVal(), QStringLiteral("100"));
    EXPECT_EQ(loop.ForwardK(), QStringLiteral("-2.5"));
    EXPECT_EQ(loop.MeasurePort(), 4);
    EXPECT_EQ(loop.forwardPort(), 2);
    EXPECT_EQ(loop.RemoteSetpointPort(), 3);
    EXPECT_EQ(loop.h(), QStringLiteral("0.1"));
    EXPECT_EQ(loop.SetpointScale(), QStringLiteral("1"));
    EXPECT_EQ(loop.Td(), QStringLiteral("0.5"));
}

TEST(PidValidation, ConversionErrorsCarryTheirDescriptionAndNoRowMessage) {
    SeparatorGuard sep(QLatin1Char('.'));
    struct {
        int box;
        const char* text;
        const char* description;
    } cases[] = {
        {PidBox::Ti, "", "Type mismatch"},       {PidBox::K, "1.2.3", "Type mismatch"},
        {PidBox::K, "-", "Type mismatch"},       {PidBox::Setpoint, "nan", "Type mismatch"},
        {PidBox::Td, "1e39", "Overflow"},        {PidBox::MeasurePort, "256", "Overflow"},
        {PidBox::MeasurePort, "-1", "Overflow"}, {PidBox::forwardPort, "abc", "Type mismatch"},
    };
    for (const auto& c : cases) {
        clsPID loop;
        PidEditorValues v = Good();
        v.boxes[static_cast<size_t>(c.box)] = QString::fromLatin1(c.text);
        const ValidationOutcome out = ValidateSettings(&loop, 0, v);
        EXPECT_EQ(out.result(), QStringLiteral("Error")) << c.text;
        EXPECT_EQ(out.messageText, QStringLiteral(" Error on PID setting: ") +
                                       QString::fromLatin1(c.description) + QStringLiteral("\r\n"))
            << c.text;
    }
}

TEST(PidValidation, ManualSliderRowAndIndexesOutsideTheLoops) {
    SeparatorGuard sep(QLatin1Char('.'));
    clsPID loop;
    PidEditorValues v = Good();
    v.manual = 101;
    EXPECT_EQ(ValidateSettings(&loop, 2, v).messageText,
              QStringLiteral(" Error on PID setting: \r\n Manual controll must be 0-100!"));
    // No loop selected: nothing checked, nothing stored, the answer is OK.
    v.boxes[PidBox::K] = "nonsense";
    clsPID untouched;
    EXPECT_TRUE(ValidateSettings(&untouched, -1, v).ok);
    EXPECT_TRUE(ValidateSettings(nullptr, 4, v).ok);
    EXPECT_EQ(untouched.Settings(), clsPID().Settings());
}

TEST(PidValidation, CommaLocaleReadsDotBoxesAndShowsThemWithDotsAgain) {
    SeparatorGuard sep(QLatin1Char(','));
    clsPID loop;
    PidEditorValues v = Good();
    v.boxes[PidBox::K] = "0.5";
    v.boxes[PidBox::Ti] = "2,25";  // typed or pasted with the locale's comma
    const ValidationOutcome out = ValidateSettings(&loop, 1, v);
    ASSERT_TRUE(out.ok) << out.messageText.toStdString();
    EXPECT_EQ(loop.Settings().K, 0.5f);
    EXPECT_EQ(loop.Settings().Ti, 2.25f);
    EXPECT_EQ(loop.K(), QStringLiteral("0.5")) << "readers always give dots";
    EXPECT_EQ(out.boxes[PidBox::K], QStringLiteral("0.5"));
    EXPECT_EQ(out.boxes[PidBox::Ti], QStringLiteral("2.25"));

    // A failure shows the boxes with dots too.
    v.boxes[PidBox::Setpoint] = "1000.5";
    const ValidationOutcome bad = ValidateSettings(&loop, 1, v);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.boxes[PidBox::Ti], QStringLiteral("2.25"));
    EXPECT_EQ(bad.boxes[PidBox::Setpoint], QStringLiteral("1000.5"));
}

TEST(PidEditorModel, KeyFilterPassesDigitsPointMinusAndEditingKeys) {
    for (char c : QByteArray("0123456789.-")) {
        ASSERT_TRUE(FilterEditorKey(QLatin1Char(c)).has_value()) << c;
        EXPECT_EQ(*FilterEditorKey(QLatin1Char(c)), QLatin1Char(c));
    }
    EXPECT_EQ(FilterEditorKey(QChar(8)), QChar(8));
    EXPECT_EQ(FilterEditorKey(QChar(127)), QChar(127));
    EXPECT_EQ(FilterEditorKey(QLatin1Char(',')), QLatin1Char('.'));
    for (char c : QByteArray("aeE+ /x")) {
        EXPECT_FALSE(FilterEditorKey(QLatin1Char(c)).has_value()) << c;
    }
    EXPECT_FALSE(FilterEditorKey(QChar(u'ä')).has_value());
}

TEST(PidEditorModel, LabelTexts) {
    SeparatorGuard sep(QLatin1Char('.'));
    EXPECT_EQ(SliderValueText(50), QStringLiteral("50  %"));
    EXPECT_EQ(SliderValueText(0), QStringLiteral("0  %"));
    EXPECT_EQ(ModeText(1), QStringLiteral(" Autom "));
    EXPECT_EQ(ModeText(0), QStringLiteral(" Manual "));
    EXPECT_EQ(LiveValueText("12.3456", 3), QStringLiteral("12.346  "));
    EXPECT_EQ(LiveValueText("0.125", 2), QStringLiteral("0.12  ")) << "half to even";
    EXPECT_EQ(LiveValueText("-7", 2), QStringLiteral("-7  "));
    EXPECT_EQ(LiveValueText("1E+30", 2), std::nullopt) << "too large to round";
    SeparatorGuard comma(QLatin1Char(','));
    EXPECT_EQ(LiveValueText("12.3456", 3), QStringLiteral("12,346  "));
}

TEST(PidEditorModel, LoopSettingsViewRoundsTheSlidersHalfToEven) {
    SeparatorGuard sep(QLatin1Char('.'));
    clsPID loop;
    loop.Alusta(1, QStringLiteral("Temperature PID"), 200, nullptr, nullptr);
    ASSERT_TRUE(loop.ManualVal(QStringLiteral("30.5")).ok());
    ASSERT_TRUE(loop.Setpoint(QStringLiteral("181.5")).ok());
    ASSERT_TRUE(loop.h(QStringLiteral("0.05")).ok());
    loop.MeasurePort(3);
    loop.AutoMode(1);
    loop.Enable(1);
    const LoopSettingsView v = MakeLoopSettingsView(loop);
    EXPECT_EQ(v.desc, QStringLiteral("Temperature PID"));
    EXPECT_TRUE(v.automatic);
    EXPECT_EQ(v.manualSlider, 30);
    EXPECT_EQ(v.setpointSlider, 182);
    EXPECT_EQ(v.boxes[PidBox::Setpoint], QStringLiteral("181.5"));
    EXPECT_EQ(v.boxes[PidBox::h], QStringLiteral("0.05"));
    EXPECT_EQ(v.boxes[PidBox::MeasurePort], QStringLiteral("3"));
    EXPECT_EQ(v.boxes[PidBox::SetpointScale], QStringLiteral("0"));
    EXPECT_EQ(v.enable, 1);
    EXPECT_EQ(v.remoteSetpoint, 0);
    EXPECT_EQ(PidBoxCaption(0), QStringLiteral("Setpoint value"));
    EXPECT_EQ(PidBoxToolTip(4), QStringLiteral("PID integration time"));
    EXPECT_EQ(PidBoxCaption(17), QStringLiteral("Setpoint scale"));
}
