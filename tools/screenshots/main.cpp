// Writes the pictures of the operator's guide into the folder named on the
// command line: tuvik-screenshots <folder>. Each window is shown offscreen
// against the in-process simulator, as the operator would see it, and
// grabbed. Run through scripts/screenshots.sh.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include <QComboBox>
#include <QDateTimeEdit>
#include "BurnerParams.h"
#include "RecordingDialogs.h"
#include "ScratchOptions.h"
#include "SimServer.h"
#include "SyntheticRecording.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "burner/ui/frmFlamora.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "link/ui/frmClient.h"
#include "link/ui/frmRS232.h"
#include "pid/ui/PidEditorWidget.h"
#include "pid/ui/frmStepTest.h"
#include "shell/LinkTexts.h"
#include "shell/Session.h"
#include "shell/ui/TrendWindows.h"
#include "shell/ui/frmPID.h"
#include "support/MessageLog.h"
#include "support/ui/frmMessage.h"
#include "trend/ui/TrendChartWidget.h"
#include "trend/ui/frmADinputs.h"
#include "trend/ui/frmHistory.h"

using namespace tuvik;

namespace {

QString g_out;
int g_failures = 0;

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

bool WaitUntil(const std::function<bool()>& pred, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return pred();
}

void Fail(const char* what) {
    std::fprintf(stderr, "tuvik-screenshots: %s\n", what);
    ++g_failures;
}

void Save(QWidget& w, const char* name) {
    if (!w.isVisible()) {
        w.show();
        if (!QTest::qWaitForWindowExposed(&w)) {
            Fail(name);
        }
    }
    Pump(100);
    const QString path = QDir(g_out).filePath(QString::fromLatin1(name));
    if (w.grab().save(path)) {
        std::printf("%s\n", qPrintable(path));
    } else {
        Fail(name);
    }
}

void MessageLogWindow() {
    QTemporaryDir dir;
    MessageLog log(dir.path());
    log.setLocale(QLocale::c());
    // Readings as the burner window would show them beside each message.
    log.setReadings({QStringLiteral("270"), QStringLiteral("50.6"), QStringLiteral("756"),
                     QStringLiteral("70")});
    int second = 0;
    Clock clock;
    clock.setSystem([&second] {
        return QDateTime(QDate(2026, 12, 5), QTime(8, 0, 0).addSecs(7 * second++))
            .toMSecsSinceEpoch();
    });
    log.setClock(clock);
    // Activity reports as the burner sends them: name; started/stopped; clock; state.
    log.AddMessage(QStringLiteral("Fuel   ; started ;12.5; Startup     "));
    log.AddMessage(QStringLiteral("Ign    ; started ;12.5; Startup     "));
    log.AddMessage(QStringLiteral("Air    ; started ;13.1; Startup     "));
    log.AddMessage(QStringLiteral("Ign    ; stopped ;95.0; Running_init"));
    log.AddMessage(QStringLiteral("Fuel   ; stopped ;410.2; Running     "));
    frmMessage w(&log);
    w.resize(560, 260);
    Save(w, "message-log.png");
    w.Unload();
}

void LinkWindows(sim::SimServer& sim) {
    AppContext ctx;
    {
        SerialLink link;
        frmRS232 w;
        QObject::connect(
            &link, &SerialLink::portStateChanged, &w, [&w](bool open, const QString& error) {
                w.ShowCaption(LinkTexts::SerialCaption(open, error, QTime::currentTime()));
            });
        ctx.setActiveLink(&link);
        if (link.OpenPort({sim.PtyPath(), 57600, 333}).has_value()) {
            Fail("serial port not opened");
        }
        w.resize(260, 80);
        Save(w, "serial-window.png");
        link.Disconnect();
        ctx.setActiveLink(nullptr);
    }
    frmClient w;
    w.ShowStatus(QStringLiteral("0"), QString::number(TcpSettings::kRelayPort));
    w.resize(320, 220);
    Save(w, "tcp-window.png");
}

// A temperature loop: the setpoint steps from 60 to 80, a PI controller
// drives a first-order process with a little noise, and a slowly drifting
// feed-forward input. Samples rounded to two decimals, newest at point 2,
// one every 333 ms (the default refresh).
TrendArray PidLoopTable() {
    TrendArray a(5);
    const char* names[] = {"Measurement", "Control output", "Setpoint", "FeedForward"};
    for (int s = 0; s < 4; ++s) {
        a.set(s, 0, names[s]);
        a.set(s, 1, "");
    }
    double y = 58.0;
    double integral = 45.0;
    uint32_t seed = 12345;
    auto noise = [&] {
        seed = seed * 1103515245u + 12345u;
        return ((seed >> 16) % 1000) / 1000.0 - 0.5;
    };
    auto round2 = [](double v) { return std::nearbyint(v * 100) / 100; };
    for (int t = 0; t < 399; ++t) {
        const double sp = t < 160 ? 60.0 : 80.0;
        const double ff = 20.0 + 4.0 * std::sin(t / 70.0);
        const double e = sp - y;
        integral += e * 2.2 / 35.0;
        integral = std::clamp(integral, 0.0, 100.0);
        const double u = std::clamp(2.2 * e + integral, 0.0, 100.0);
        // Heating raises the temperature, losses pull it towards the feed-forward input.
        y += (0.9 * u + 0.6 * ff - 0.75 * y) / 18.0 + 0.12 * noise();
        a.PushSample(0, round2(y));
        a.PushSample(1, round2(u));
        a.PushSample(2, round2(sp));
        a.PushSample(3, round2(ff));
        a.PushTime(t * 0.333);
    }
    return a;
}

// The main window after some seconds of live data, with the setpoint moved
// so that the trend shows the loop answering; then its chart alone.
void MainWindow(sim::SimServer& sim, const QString& dir) {
    test::RecordingDialogs dialogs;
    Session session(AppPaths(dir, dir, {QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
    frmPID w(session, test::ScratchOptions(dir, &dialogs));
    w.Form_Load();
    w.resize(1280, 720);
    w.findChild<QLineEdit*>("txtComPort")->setText(sim.PtyLink());
    w.findChild<QLineEdit*>("txtRefresh")->setText("100");
    QTest::mouseClick(w.findChild<QPushButton*>("btnCon"), Qt::LeftButton);
    if (!WaitUntil([&] { return sim.PtyClientPresent(); })) {
        Fail("main window not connected");
    }
    Pump(1500);
    QTest::mouseClick(w.findChild<QPushButton*>("btnGetCurrentValues"), Qt::LeftButton);
    Pump(600);
    for (int i = 0; i < 6; ++i) {
        QTest::mouseClick(w.findChild<QPushButton*>("Command2"), Qt::LeftButton);
        Pump(50);
    }
    Pump(6000);
    Save(w, "main-window.png");
    // A chart of its own, set up as the main window's, with a loop that
    // answers a setpoint step.
    TrendChartWidget chart;
    chart.resize(800, 400);
    cTrendline& c = chart.chart();
    c.setMaxX(360);
    c.setMinY(0);
    c.setResolution(6);
    c.setAutoScale(true);
    chart.DrawTrend(PidLoopTable(), true);
    Save(chart, "trend-chart.png");
    // The same chart held still, zoomed in around the setpoint step, with
    // the cursor read-out.
    chart.setPaused(true);
    chart.view().ZoomAt(0.6, 0.45);
    double cursor = 0;
    for (int x = 0; x < chart.width(); ++x) {
        if (chart.FractionAt(x) <= 0.55) {
            cursor = x;
            break;
        }
    }
    QMouseEvent move(QEvent::MouseMove, QPointF(cursor, 120),
                     chart.mapToGlobal(QPointF(cursor, 120)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&chart, &move);
    Save(chart, "trend-zoomed.png");
    QTest::mouseClick(w.findChild<QPushButton*>("btnCon"), Qt::LeftButton);
}

// The step test of loop 0 on the simulator's own process: put in manual,
// recording, then the analysis with the suggestions.
void StepTestWindow(sim::SimServer& sim, const QString& dir) {
    test::RecordingDialogs dialogs;  // every confirmation answered OK
    Session session(AppPaths(dir, dir, {QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
    frmPID w(session, test::ScratchOptions(dir, &dialogs));
    w.Form_Load();
    w.findChild<QLineEdit*>("txtComPort")->setText(sim.PtyLink());
    w.findChild<QLineEdit*>("txtRefresh")->setText("100");
    QTest::mouseClick(w.findChild<QPushButton*>("btnCon"), Qt::LeftButton);
    if (!WaitUntil([&] { return sim.PtyClientPresent(); })) {
        Fail("step test: not connected");
    }
    Pump(1000);
    QTest::mouseClick(w.findChild<QPushButton*>("btnGetCurrentValues"), Qt::LeftButton);
    Pump(600);
    QTest::mouseClick(w.findChild<QPushButton*>("btnStepTest"), Qt::LeftButton);
    frmStepTest* dlg = w.windows().stepTest();
    dlg->resize(1040, 680);
    // Manual at 50 %, sent as the operator would, the process then brought
    // to rest in simulated time.
    w.findChild<QRadioButton*>("OptionPIDmode_1")->setChecked(true);
    w.findChild<QSlider*>("SliderManual")->setValue(50);
    QTest::mouseClick(w.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    if (!WaitUntil([&] { return dlg->findChild<QPushButton*>("btnStart")->isEnabled(); })) {
        Fail("step test: not in manual");
    }
    sim.device().controller().Advance(60);
    Pump(8000);  // the baseline
    QTest::mouseClick(dlg->findChild<QPushButton*>("btnStart"), Qt::LeftButton);
    Pump(5000);
    Save(*dlg, "step-test-recording.png");
    if (!WaitUntil([&] { return dlg->run().analysable(); }, 90000)) {
        Fail("step test: not settled");
    }
    Pump(2500);  // the return to the previous output
    Save(*dlg, "step-test-analysis.png");
    QTest::mouseClick(w.findChild<QPushButton*>("btnCon"), Qt::LeftButton);
    w.editor().Unload();
}

// The burner windows and the analog inputs, from a burner running fast
// enough to be past its start-up, over TCP.
void BurnerWindows(const QString& dir) {
    QFile params(dir + QStringLiteral("/PARAMS.h"));
    if (!params.open(QIODevice::WriteOnly) || params.write(sim::ParamsHeaderText()) < 0) {
        Fail("PARAMS.h not written");
        return;
    }
    params.close();
    sim::SimServerOptions o;
    o.pty = false;
    o.tcpPort = 0;
    o.speed = 60.0;
    sim::SimServer sim(o);
    if (!sim.Start()) {
        Fail("simulator not started");
        return;
    }
    test::RecordingDialogs dialogs;
    Session session(AppPaths(dir, dir, {dir}));
    session.Start();
    TcpLink link;
    session.connection().Attach(link);
    session.ctx().setActiveLink(&link);
    link.Connect({QStringLiteral("127.0.0.1"), sim.TcpPort(), 333});
    if (!WaitUntil([&] { return link.PortOpen() && session.ctx().LinkConnected(); })) {
        Fail("TCP link not connected");
        return;
    }
    {
        frmFlamora form(session.burnerScope(), &dialogs);
        form.model().pollTimer().setInterval(200);
        form.Load();
        form.resize(form.findChild<QWidget*>(QStringLiteral("Frame1"))->sizeHint() + QSize(24, 24));
        form.show();
        auto* prog = form.findChild<QLabel*>(QStringLiteral("lblProgState"));
        auto* usage = form.findChild<QLabel*>(QStringLiteral("lblUsageTime_4"));
        if (!WaitUntil([&] { return prog->text().contains(QStringLiteral("Running")); }, 60000) ||
            !WaitUntil([&] { return !usage->text().isEmpty(); })) {
            Fail("burner not running");
        }
        form.findChild<QLineEdit*>(QStringLiteral("txtOso"))->setText(QStringLiteral("24"));
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnRead")), Qt::LeftButton);
        Pump(1500);
        Save(form, "burner-window.png");

        frmAllParams* all = form.allParams();
        all->show();
        for (int r = 0; r < 24 && r < all->model().rows(); ++r) {
            all->model().setChecked(r, true);
        }
        QTest::mouseClick(all->findChild<QPushButton*>(QStringLiteral("btnRead")), Qt::LeftButton);
        WaitUntil([&] { return !all->model().valueText(23).isEmpty(); });
        Save(*all, "all-params.png");
        all->findChild<QLineEdit*>(QStringLiteral("txtFilter"))->setText(QStringLiteral("FUEL"));
        Save(*all, "all-params-filtered.png");
        all->findChild<QLineEdit*>(QStringLiteral("txtFilter"))->clear();
        all->close();

        sim.SetClockRunning(false);
        frmExtra* extras = form.extras();
        extras->histogram().setSpacingMs(2);
        extras->show();
        QTest::mouseClick(extras->findChild<QPushButton*>(QStringLiteral("btnReadHistogram")),
                          Qt::LeftButton);
        auto* text = extras->findChild<QPlainTextEdit*>(QStringLiteral("txtHistoData"));
        WaitUntil([&] { return text->toPlainText().count(QLatin1Char('\n')) >= 122; });
        Save(*extras, "histogram.png");
        extras->close();
        form.model().pollTimer().stop();
    }
    session.ctx().setActiveLink(nullptr);
}

// The analog inputs after some seconds of a fresh simulator whose time runs
// faster, so that the slow loops show some movement.
void AnalogInputs(const QString& dir) {
    sim::SimServerOptions o;
    o.pty = false;
    o.tcpPort = 0;
    o.tickMs = 10;
    o.speed = 30.0;
    sim::SimServer sim(o);
    Session session(AppPaths(dir, dir, {}));
    session.connection().setTexts(
        {QStringLiteral("2"), QStringLiteral("57600"), QStringLiteral("10")});
    session.ctx().setReplyReceiver(&session.dispatcher());
    TcpLink link;
    session.connection().Attach(link);
    session.ctx().setActiveLink(&link);
    link.Connect(
        {QStringLiteral("127.0.0.1"), static_cast<quint16>(sim.Start() ? sim.TcpPort() : 0), 10});
    if (!WaitUntil([&] { return link.PortOpen(); })) {
        Fail("analog inputs: TCP link not connected");
        return;
    }
    const std::unique_ptr<frmADinputs> window(NewAnalogWindow(session));
    frmADinputs& analog = *window;
    analog.show();
    WaitUntil([&] { return session.state().AnalogTrend2.at(3, 301).isNumber(); }, 30000);
    Pump(1200);
    Save(analog, "analog-inputs.png");
    analog.close();
    session.ctx().setActiveLink(nullptr);
}

// A week of one loop's history with its marks, written straight into a
// scratch database: a daily swing, calmer after the settings were sent.
void HistoryWindow(const QString& dir) {
    const QString path = QDir(dir).filePath(QStringLiteral("history-week.sqlite"));
    const qint64 end = QDateTime(QDate(2026, 12, 5), QTime(18, 0)).toSecsSinceEpoch();
    const qint64 start = end - 7 * 86400;
    const qint64 sent = end - 3 * 86400 + 10 * 3600;
    {
        HistoryDb db(QStringLiteral("screenshot-history"));
        if (!db.Open(path).isEmpty()) {
            Fail("history: database");
            return;
        }
        HistoryBatch batch;
        for (qint64 t = start; t < end; ++t) {
            const double day = 2 * M_PI * static_cast<double>((t - start) % 86400) / 86400;
            const double swing = t < sent ? 1.0 : 0.35;
            const float meas = static_cast<float>(
                65 + swing * (4 * std::sin(static_cast<double>(t) / 700) + 3 * std::sin(day)));
            const float out = static_cast<float>(45 + 25 * std::sin(day - 0.5));
            HistorySecond s;
            s.t = t;
            s.loop = 0;
            s.mode = 1;
            for (const float d : {-1.4f, 0.f, 1.1f}) {
                s.Add({meas + d * static_cast<float>(swing), 65, out + d, 0});
            }
            batch.seconds.push_back(s);
            if (batch.seconds.size() == 86400) {
                db.Write(batch);
                batch = {};
            }
        }
        batch.events = {
            {start + 86400 + 7200, -1, QStringLiteral("reconnect"), QStringLiteral("Link back")},
            {end - 5 * 86400 + 14 * 3600, 0, QStringLiteral("steptest"),
             QStringLiteral("Step test started: output 45 % -> 55 %")},
            {end - 4 * 86400 + 3 * 3600, -1, QStringLiteral("alarm"),
             QStringLiteral("Controller alarm on")},
            {sent, 0, QStringLiteral("send"),
             QStringLiteral("Settings sent and read back: K 1.2 -> 0.85, Ti 90 -> 120")}};
        if (!db.Write(batch).isEmpty()) {
            Fail("history: write");
        }
    }
    Session session(AppPaths(dir, dir, {}));
    session.history().UseDatabase(path);
    const std::unique_ptr<frmHistory> window(NewHistoryWindow(session));
    frmHistory& w = *window;
    w.resize(980, 440);
    w.findChild<QDateTimeEdit*>(QStringLiteral("dtHistoryFrom"))
        ->setDateTime(QDateTime::fromSecsSinceEpoch(start));
    w.findChild<QDateTimeEdit*>(QStringLiteral("dtHistoryTo"))
        ->setDateTime(QDateTime::fromSecsSinceEpoch(end));
    w.findChild<QComboBox*>(QStringLiteral("cboHistorySpan"))->setCurrentIndex(frmHistory::FromTo);
    w.show();
    QTest::qWaitForWindowExposed(&w);
    Pump(100);
    w.Show();
    Save(w, "history-week.png");
}

// The main window replaying ten minutes of live values (one reply every
// 100 ms), paused at 4:10 after a seek, at 5×.
void Replay(const QString& dir) {
    test::RecordingDialogs dialogs;
    Session session(AppPaths(dir, dir, {QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
    frmPID w(session, test::ScratchOptions(dir, &dialogs));
    w.Form_Load();
    w.resize(1280, 720);
    w.show();
    auto source = std::make_unique<sim::SyntheticRecording>(600LL * 1'000'000, 100'000);
    if (session.replay().Start(std::move(source), QStringLiteral("2026-12-08_101500.pcapng.zst"))) {
        Fail("replay refused");
        return;
    }
    ReplayLink* link = session.replay().link();
    w.findChild<QComboBox*>("cboReplaySpeed")->setCurrentIndex(1);  // 5×
    link->Seek(250LL * 1'000'000);
    if (!WaitUntil([&] { return !link->seeking(); })) {
        Fail("replay seek did not end");
    }
    link->SetPaused(true);
    Pump(1200);  // the status line's next update
    Save(w, "replay.png");
    session.replay().Stop();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tuvik-screenshots <folder>\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_out)) {
        std::fprintf(stderr, "tuvik-screenshots: cannot make %s\n", argv[1]);
        return 1;
    }
    QLocale::setDefault(QLocale::c());
    QTemporaryDir dir;
    sim::SimServerOptions o;
    o.ptyLink = dir.filePath(QStringLiteral("tty"));
    o.tcpPort = -1;
    o.tickMs = 10;
    {
        sim::SimServer sim(o);
        if (!sim.Start()) {
            std::fprintf(stderr, "tuvik-screenshots: simulator not started\n");
            return 1;
        }
        MessageLogWindow();
        LinkWindows(sim);
        MainWindow(sim, dir.path());
        StepTestWindow(sim, dir.path());
    }
    BurnerWindows(dir.path());
    AnalogInputs(dir.path());
    HistoryWindow(dir.path());
    Replay(dir.path());
    return g_failures == 0 ? 0 : 1;
}
