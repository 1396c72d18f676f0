// The history window: the live values a session received, drawn from the
// database with their marks; the tools query again.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimeZone>
#include <QWheelEvent>

#include <algorithm>

#include "BurnerFixture.h"
#include "MemorySource.h"
#include "TestUtil.h"
#include "shell/ui/TrendWindows.h"
#include "trend/ui/TrendChartWidget.h"
#include "trend/ui/frmHistory.h"

using namespace tuvik;
using namespace tuvik::test;

TEST(HistoryWindow, DrawsTheReceivedSecondsWithMarksAndItsToolsQueryAgain) {
    BurnerSession s("");
    s.session->loops().SetSelectedIndex(1);
    qint64 nowMs = (QDateTime::currentSecsSinceEpoch() - 120) * 1000;
    s.session->clock().setSystem([&] { return nowMs; });
    for (const float meas : {20.5f, 21.5f, 40.f}) {
        s.feeder->Reply(Cmd::LiveValues, LiveSingles(30, meas, 25, 0));
        nowMs += 400;
    }
    s.feeder->Reply(Cmd::Alarm, {1});
    nowMs += 3000;
    // Drawn at once: the window's thread does not wait for the writer (nor
    // take its answers), and draws the seconds once they are committed.
    QSignalSpy commits(&s.session->history(), &HistoryStore::committed);
    const std::unique_ptr<frmHistory> window(NewHistoryWindow(*s.session));
    frmHistory& w = *window;
    EXPECT_EQ(commits.count(), 0);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // A draw may run while the writer commits: the one after `committed`
    // has the committed second and its mark.
    ASSERT_TRUE(WaitUntil([&] { return commits.count() > 0 && !w.view().Marks().empty(); }));
    TrendChartWidget* chart = w.chart();
    // The second's values themselves are the history's and its query's tests.
    const std::vector<HistoryView::Row>& rows = w.view().rows();
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](auto& r) { return !std::isnan(r.v[0]); }),
              1)
        << "one second at this width";
    ASSERT_EQ(w.view().Marks().size(), 1u);
    const int x = static_cast<int>(chart->XAt(w.view().Marks()[0].fraction));
    QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(x + 2, chart->height() / 2));
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("lblHistoryStatus"))
                    ->text()
                    .contains(QStringLiteral("Alarm: Controller alarm on")));
    EXPECT_FALSE(chart->ReadoutAt(x).isEmpty());
    // The wheel zooms around the pointer and queries the narrower span.
    const qint64 span = w.view().t1() - w.view().t0();
    QWheelEvent wheel(QPointF(x, 50), chart->mapToGlobal(QPointF(x, 50)), {}, {0, 120},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_LT(w.view().t1() - w.view().t0(), span);
    EXPECT_TRUE(chart->VisibleCsv().startsWith("time,Measurement,Measmin,Measmax"));
}

TEST(HistoryWindow, DuringAReplayShowsItsHistoryUpToItsPositionAndSaysSo) {
    // Not started: no prune has run yet, as after a minute of replaying.
    QTemporaryDir dir;
    Session session(AppPaths(dir.path(), dir.path(), {dir.path()}));
    session.ctx().setReplyReceiver(&session.dispatcher());
    session.loops().SetSelectedIndex(0);
    auto src = std::make_unique<MemorySource>();
    const QDateTime start(QDate(2025, 6, 1), QTime(10, 0), QTimeZone::utc());
    src->recordingInfo.startUtcMs = start.toMSecsSinceEpoch();
    for (int i = 0; i < 10; ++i) {  // seconds 0 to 4, two replies each
        const std::vector<uint8_t> d = LiveSingles(30, float(20 + i), 25, 0);
        src->Add(i * 500'000, EncodePacket(Cmd::LiveValues, std::span<const uint8_t>(d)));
    }
    const std::unique_ptr<frmHistory> window(NewHistoryWindow(session));
    frmHistory& w = *window;
    w.show();
    auto* status = w.findChild<QLabel*>(QStringLiteral("lblHistoryStatus"));
    ASSERT_EQ(session.replay().Start(std::move(src), QStringLiteral("old.rec"),
                                     dir.filePath(QStringLiteral("old.rec"))),
              std::nullopt);
    session.replay().link()->SetSpeed(ReplayLink::kAsFastAsPossible);
    // Seconds 0 to 3 (up to 27) are complete; the span ends where the replay stands.
    ASSERT_TRUE(WaitUntil(
        [&] { return session.replay().link()->ended() && w.view().ValueRange().second == 27; }));
    EXPECT_EQ(w.view().t1(), start.toSecsSinceEpoch() + 4);
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("Replay of old.rec: ")))
        << status->text().toStdString();
    const QString replayed = session.history().databasePath();
    session.replay().Stop();
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("Live: ")))
        << status->text().toStdString();
    // The replay's rows stay whatever their age: they go with the recording.
    session.history().Sync();
    EXPECT_EQ(HistoryRows(replayed, "SELECT COUNT(*) FROM sec WHERE meas_max <= 27"),
              QStringList{"4"});
}

// The "Keep" box: applied once typed (Enter or leaving the box), and a
// retention that would delete rows is asked first.
TEST(HistoryWindow, TheKeepBoxAppliesWhenTypedAndNoLeavesEverything) {
    BurnerSession s("");
    const QString ini = s.dir.filePath(QStringLiteral("s.ini"));
    s.session->connection().setSettingsOpener(
        [ini] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); });
    HistoryStore& history = s.session->history();
    s.session->clock().setSystem(
        [] { return (QDateTime::currentSecsSinceEpoch() - 40 * 86400) * 1000; });
    history.AddLive(0, {1, 2, 3, 4}, 1, 0);
    s.session->clock().setSystem({});
    history.Sync();
    const std::unique_ptr<frmHistory> window(NewHistoryWindow(*s.session, nullptr, &s.dialogs));
    frmHistory& w = *window;
    w.show();
    auto* keep = w.findChild<QSpinBox*>(QStringLiteral("txtHistoryDays"));
    const auto type = [&](const char* days, bool yes) {
        keep->setFocus();
        keep->selectAll();
        QTest::keyClicks(keep, QString::fromLatin1(days));
        EXPECT_EQ(history.retentionDays(), 400) << "applied while typed";
        s.dialogs.answerYes = yes;
        QTest::keyClick(keep, Qt::Key_Return);
    };
    type("30", false);  // asked, with the history 40 days deep: No
    EXPECT_EQ(s.dialogs.questions.size(), 1);
    EXPECT_EQ(keep->value(), 400);
    EXPECT_EQ(history.retentionDays(), 400);
    const QString key = QStringLiteral("Settings/HistoryDays");
    EXPECT_FALSE(QSettings(ini, QSettings::IniFormat).contains(key));
    type("36", true);
    EXPECT_EQ(history.retentionDays(), 36);
    EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value(key), 36);
}

// "Open history file..." shows a history another program keeps open for
// writing (its commits still in the journal), read-only: neither the file
// nor its journal changes, and the retention waits for the live history.
TEST(HistoryWindow, ShowsAnotherProgramsHistoryFileAndLeavesItAsItWas) {
    BurnerSession s("");
    QTemporaryDir other;
    const QString path = other.filePath("monitor.sqlite");
    HistoryStore writer;
    writer.UseDatabase(path);
    writer.setRecording(true);
    writer.AddLive(0, {33, 2, 3, 4}, 1, 0);
    writer.setRecording(false);  // the second is complete
    writer.Sync();
    const auto files = [&] { return ReadFile(path) + '|' + ReadFile(path + "-wal"); };
    const QByteArray before = files();
    ASSERT_GT(QFileInfo(path + "-wal").size(), 0);
    // The window's spans end at its now: a minute on, the second is well inside.
    s.session->clock().setSystem([] { return (QDateTime::currentSecsSinceEpoch() + 60) * 1000; });
    const std::unique_ptr<frmHistory> w(NewHistoryWindow(*s.session, nullptr, &s.dialogs));
    w->show();
    auto* keep = w->findChild<QSpinBox*>("txtHistoryDays");
    auto* status = w->findChild<QLabel*>("lblHistoryStatus");
    s.dialogs.files.push_back(path);
    Click(w.get(), "cmdHistoryOpen");
    EXPECT_EQ(std::tuple(w->view().ValueRange().second, keep->isEnabled(), w->windowTitle()),
              std::tuple(33.0, false, QStringLiteral("History - monitor.sqlite")));
    EXPECT_TRUE(status->text().startsWith(QDir::toNativeSeparators(path) + ": "));
    Click(w.get(), "cmdHistoryLive");
    EXPECT_TRUE(keep->isEnabled() && status->text().startsWith("Live: "));
    EXPECT_TRUE(files() == before) << "the chosen file or its journal was written";
}
