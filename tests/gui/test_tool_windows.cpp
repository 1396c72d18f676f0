// The smaller windows' wiring: analog inputs, histogram and its chart, all parameters,
// messages, and the burner windows' language.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <tuple>

#include "BurnerFixture.h"
#include "RecordingDialogs.h"
#include "TestUtil.h"
#include "burner/ui/HistogramChartWidget.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "burner/ui/frmFlamora.h"
#include "shell/AppContext.h"
#include "shell/SessionRecorder.h"
#include "shell/ui/RecordingsDialog.h"
#include "shell/ui/TrendWindows.h"
#include "support/MessageLog.h"
#include "support/ui/LabelBoxWidget.h"
#include "support/ui/frmMessage.h"
#include "trend/ui/TrendChartWidget.h"
#include "trend/ui/frmADinputs.h"

using namespace tuvik;
using namespace tuvik::test;

TEST(AnalogWindow, TakesThePollingOverDrawsTheRepliesAndGivesItBack) {
    BurnerSession s("");
    s.session->connection().setTexts({"2", "57600", "20"});
    std::unique_ptr<frmADinputs> w(NewAnalogWindow(*s.session));
    w->show();
    EXPECT_EQ(s.link.refreshCalls, QList<bool>{false});
    ASSERT_TRUE(WaitUntil([&] { return s.link.bytes.count(Hex("88 00 77")) >= 2; }));
    EXPECT_EQ(s.link.bytes.count(Hex("88 00 77")) * 3, s.link.bytes.size()) << "requests only";
    std::vector<uint8_t> reply(16, 0);
    reply[14] = 0x40, reply[15] = 0x9C;  // AD7: 40000, held at 30000
    s.feeder->Reply(Cmd::AnalogValues, reply);
    EXPECT_EQ(s.session->state().AnalogTrend2.at(3, 2), TrendCell(30000.0));
    auto* lower = w->findChild<TrendChartWidget*>(QStringLiteral("Picture2"));
    ASSERT_TRUE(WaitUntil([&] { return lower->chart().maxY() == 30010; }))
        << "scaled at the window's next redraw";
    EXPECT_TRUE(w->close());
    EXPECT_EQ(s.link.refreshCalls, (QList<bool>{false, true}));
    for (auto* t : w->findChildren<QTimer*>()) {
        EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
    }
    w->show();
    w.reset();  // destroyed while open
    EXPECT_EQ(s.link.refreshCalls, (QList<bool>{false, true, false, true}));
}

TEST(HistogramWindow, ReadsOneCellAtATimeListsAndChartsTheReplies) {
    BurnerSession s("");
    frmExtra form(s.session->burner(), &s.dialogs);
    form.histogram().setSpacingMs(1);
    auto* text = form.findChild<QPlainTextEdit*>(QStringLiteral("txtHistoData"));
    auto* read = form.findChild<QPushButton*>(QStringLiteral("btnReadHistogram"));
    auto* chart = form.findChild<HistogramChartWidget*>("chartHistogram");
    ASSERT_TRUE(chart && chart->BarRect(1).isEmpty());
    Click(&form, "btnReadHistogram");
    EXPECT_FALSE(read->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return read->isEnabled(); }));
    EXPECT_EQ(s.link.packets.size(), 122);
    s.feeder->Reply(Cmd::ReadWord, {125, 0, 0xA0, 0x06});
    EXPECT_EQ(text->toPlainText(), QStringLiteral("\nIRavg: 12.5 oso 1696"));
    s.feeder->Reply(Cmd::ReadWord, {17, 0, 0xA6, 0x06});  // at 1702
    s.feeder->Reply(Cmd::ReadWord, {34, 0, 0xA8, 0x06});  // at 1704
    EXPECT_EQ(chart->Caption(), "IR average: 12.5 (1696), - (1698)");
    EXPECT_DOUBLE_EQ(chart->BarRect(2).height(), 2 * chart->BarRect(1).height());
    EXPECT_LT(chart->BarRect(1).left(), chart->BarRect(2).left());
    Click(&form, "btnClear");
    EXPECT_TRUE(text->toPlainText().isEmpty() && chart->BarRect(1).isEmpty());
}

TEST(AllParamsWindow, TakesByteRepliesWhileOpenAndSendsOnlyWhenConfirmed) {
    BurnerSession s("#define A 17\r\n#define B 300\r\n");
    frmAllParams form(s.session->burnerScope(), &s.dialogs);
    form.safeSend().reader().setTimeoutMs(5);  // the reads before a send go unanswered
    form.show();
    AllParamsModel& m = form.model();
    ASSERT_EQ(m.rows(), 2);
    auto* view = form.findChild<QTableView*>(QStringLiteral("Frame1"));
    QTest::keyClicks(form.findChild<QLineEdit*>(QStringLiteral("txtFilter")), "30");
    EXPECT_EQ(view->model()->rowCount(), 1) << "the filter narrows the view as one types";
    form.findChild<QLineEdit*>(QStringLiteral("txtFilter"))->clear();
    s.feeder->Reply(Cmd::ByteValue, {42, 0x2C, 0x01});
    EXPECT_EQ(m.valueText(1), QStringLiteral("42"));
    Click(&form, "chkAll");
    s.dialogs.answerYes = false;
    Click(&form, "Command3");
    EXPECT_FALSE(form.findChild<QPushButton*>(QStringLiteral("Command2"))->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return !form.safeSend().running(); }));
    // Nothing answered the read, so no backup: asked first, and No sends nothing.
    const QString noBackup = "All Parameters|" + SafeWriteText::WriteWithoutBackup();
    EXPECT_EQ(s.dialogs.questions, QStringList{noBackup});
    EXPECT_EQ(s.link.HexPackets(), QStringList{"8A 02 2C 01 75"})
        << "only the read of the row to be sent (row 0 is empty)";
    s.dialogs.answerYes = true;
    m.setValueText(0, QStringLiteral("-1"));
    s.link.Clear();
    Click(&form, "Command3");
    ASSERT_TRUE(WaitUntil([&] { return !form.safeSend().running(); }));
    EXPECT_EQ(s.link.HexPackets().mid(2, 2),
              (QStringList{"85 03 11 00 FF 7A", "85 03 2C 01 2A 7A"}));
    EXPECT_EQ(s.dialogs.questions,
              (QStringList{noBackup, noBackup,
                           "Varoitus|Haluatko varmasti lähettää arvoja polttimeen?"}));

    form.close();
    s.feeder->Reply(Cmd::ByteValue, {43, 0x2C, 0x01});
    EXPECT_EQ(m.valueText(1), QStringLiteral("42")) << "closed, it takes no replies";
}

TEST(MessageWindow, ShowsTheLogClearEmptiesTheScreenAndCloseOnlyHides) {
    QTemporaryDir dir;
    MessageLog log(dir.path());
    Clock clock;
    clock.setSystem(
        [] { return QDateTime(QDate(2026, 12, 5), QTime(8, 0, 0)).toMSecsSinceEpoch(); });
    log.setClock(clock);
    frmMessage form(&log);
    auto* text = form.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    // The screen is the log's text, newest first, past the log's limit too.
    for (int i = 0; i < 6; ++i) {
        log.AddMessage(QString(20000, QLatin1Char('a' + i)));
        EXPECT_EQ(text->toPlainText(), QString(log.logText()).remove(QLatin1Char('\r'))) << i;
    }
    EXPECT_LT(log.logText().size(), 100000);
    Click(&form, "Command1");
    EXPECT_TRUE(text->toPlainText().isEmpty());
    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_FALSE(form.isVisible());
    log.AddMessage(QStringLiteral("C"));
    EXPECT_EQ(text->toPlainText(), QString(log.logText()).remove(QLatin1Char('\r')));
}

// The recordings window: newest first, "keep" marks the file, the limit is
// asked, stored and applied, and Open and Browse hand a path on.
TEST(RecordingsWindow, ListsMarksLimitsAndHandsTheChosenPathOn) {
    QTemporaryDir dir;
    AppContext ctx;
    MessageLog log(dir.path());
    SessionRecorder rec(ctx, log, dir.path());
    rec.setSettingsOpener(
        [&] { return std::make_unique<QSettings>(dir.filePath("s.ini"), QSettings::IniFormat); });
    for (const char* name : {"20261201-080000_a.pcapng.zst", "20261202-080000_b.pcapng.zst"}) {
        test::WriteFile(dir.filePath(name), QByteArray(700000, 'x'));
    }
    test::RecordingDialogs dialogs;
    RecordingsDialog form(rec, dialogs);
    auto* table = form.findChild<QTableWidget*>("tblRecordings");
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 0)->text(), "20261202-080000_b.pcapng.zst");
    table->item(1, 3)->setCheckState(Qt::Checked);
    EXPECT_TRUE(RecordingFolder::IsKept(dir.filePath("20261201-080000_a.pcapng.zst")));

    // A limit that removes recordings is asked first; No leaves everything.
    auto* limit = form.findChild<QSpinBox*>("spnRecordingsLimit");
    EXPECT_EQ(limit->value(), 500);
    for (const bool yes : {false, true}) {
        dialogs.answerYes = yes;
        limit->setValue(1);
        emit limit->editingFinished();
        EXPECT_EQ(dialogs.questions.value(yes ? 1 : 0), "Recordings|Remove 1 recording (684 kB)?");
        EXPECT_EQ(rec.limitMb(), yes ? 1 : 500);
        EXPECT_EQ(limit->value(), yes ? 1 : 500);
        EXPECT_EQ(table->rowCount(), yes ? 1 : 2);
    }
    EXPECT_EQ(dialogs.questions.size(), 2);
    ASSERT_EQ(table->rowCount(), 1);  // the newer one went, the kept one stays
    EXPECT_EQ(table->item(0, 0)->text(), "20261201-080000_a.pcapng.zst");

    QStringList chosen;
    QObject::connect(&form, &RecordingsDialog::recordingChosen,
                     [&](const QString& p) { chosen << p; });
    table->setCurrentCell(0, 0);
    Click(&form, "btnRecordingOpen");
    dialogs.files.push_back("/elsewhere/r.pcapng.zst");
    Click(&form, "btnRecordingBrowse");
    EXPECT_EQ(chosen, QStringList({dir.filePath("20261201-080000_a.pcapng.zst"),
                                   "/elsewhere/r.pcapng.zst"}));
}

// A status line in its box: new texts repaint the line but lay the window out
// again only when the label's size hints change; the window sees the label's
// own size hint, and a text too long for the window is cut with an ellipsis
// instead of widening it.
TEST(LabelBox, ANewTextLaysOutTheWindowOnlyWhenTheLabelsSizeChanges) {
    QWidget window;
    auto* label = new QLabel(QStringLiteral("12 replies/s"));
    auto* box = new LabelBoxWidget(label);
    (new QVBoxLayout(&window))->addWidget(box);
    window.resize(400, 100);
    window.show();
    QCoreApplication::processEvents();
    struct Counter : QObject {
        int layouts = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            layouts += e->type() == QEvent::LayoutRequest ? 1 : 0;
            return false;
        }
    } counter;
    window.installEventFilter(&counter);
    const QString longest = QStringLiteral("6 replies/s | 228 B/s | 0 broken | ").repeated(9);
    const struct {
        QString text;
        bool laidOut;
        const char* marks;
    } steps[] = {{"34 replies/s", false, ""},
                 {"5 replies/s | 228 B/s | 0 broken", true, ""},
                 {"6 replies/s | 228 B/s | 0 broken", false, ""},
                 {"6 replies/s", true, ""},
                 {"6 replies/s\n1 broken", true, ""},
                 {longest + "\n1 broken", true, "\xe2\x80\xa6\n"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text.toStdString());
        counter.layouts = 0;
        label->setText(step.text);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(counter.layouts > 0, step.laidOut);
        EXPECT_EQ(box->sizeHint(), label->sizeHint());
        EXPECT_EQ(box->minimumSizeHint().height(), label->minimumSizeHint().height());
        EXPECT_EQ(box->cutMarks(), QString::fromUtf8(step.marks));
        EXPECT_EQ(label->geometry().width() < box->width(), *step.marks != 0);
        EXPECT_EQ(label->height(), box->height());
    }
    label->setContentsMargins(0, 0, 0, 10);  // the same text, a taller label
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(box->sizeHint(), label->sizeHint()) << "new margins";
}

// Numbered captions take the language's text; the others keep their own.
TEST(BurnerLanguage, FinnishUnderAFinnishLocaleEnglishOtherwise) {
    const std::tuple<QLocale, const char*, const char*> cases[] = {
        {QLocale(QLocale::Finnish, QLocale::Finland),
         "Emberkin FlamoraBurner parameters|Arina|Sytytysvastys|Tallenna mittaukset tiedostoon",
         "All Parameters|Lue arvot|Lähetä arvot|Tallenna tiedostoon|Lue tiedostosta|check all"},
        {QLocale(QLocale::Swedish, QLocale::Finland),
         "Emberkin FlamoraBurner parameters|Grate|Startup heater|Save measurements to file",
         "All Parameters|Read params|Send params|Save to file|Read from file|check all"}};
    const QLocale previous;
    auto captions = [](QWidget& w, std::initializer_list<const char*> names) {
        QStringList out{w.windowTitle()};
        for (const char* name : names) {  // labels and buttons alike
            out << w.findChild<QWidget*>(QString::fromLatin1(name))->property("text").toString();
        }
        return out.join(QLatin1Char('|'));
    };
    for (const auto& [locale, burner, all] : cases) {
        QLocale::setDefault(locale);
        BurnerSession s("#define A 1\r\n");
        frmFlamora form(s.session->burnerScope(), &s.dialogs);
        form.Load();
        EXPECT_EQ(captions(form, {"Label9_0", "Label9_3", "CheckSaveMeas"}),
                  QString::fromUtf8(burner));
        form.allParams()->Load();
        EXPECT_EQ(
            captions(*form.allParams(), {"btnRead", "Command3", "Command1", "Command2", "chkAll"}),
            QString::fromUtf8(all));
    }
    QLocale::setDefault(previous);
}
