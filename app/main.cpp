// The program starts with the main window; closing it ends the program.
//
// TUVIK_STARTUP_TIMING=1 prints the milliseconds from the start of main to
// the first paint of the main window on stderr; TUVIK_STARTUP_TIMING=exit
// also ends the program there (for measuring the start-up).
//
// For unattended runs (scripts/soak.sh), all unset in normal use:
// TUVIK_AUTOCONNECT=serial:<port>:<refresh ms> fills the connection boxes and
// presses Connect once the main window is up; TUVIK_RUN_SECONDS=N ends the
// program after N seconds; TUVIK_STATS_FILE=<path> receives, at the end, the
// number of replies dispatched, broken packets, messages logged, and the
// main chart's paints and the CPU time they took.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>

#include "shell/AppPaths.h"
#include "shell/Session.h"
#include "shell/ui/ProgramStart.h"
#include "shell/ui/frmPID.h"
#include "trend/ui/TrendChartWidget.h"

namespace {

// Counts the replies on their way to the real receiver.
class CountingReceiver : public tuvik::ReplyReceiver {
  public:
    explicit CountingReceiver(tuvik::ReplyReceiver* next) : next_(next) {}
    void HandleReply(uint8_t command, std::span<const uint8_t> data) override {
        ++replies;
        if (next_) {
            next_->HandleReply(command, data);
        }
    }
    tuvik::ReplyReceiver* next() const { return next_; }
    long long replies = 0;

  private:
    tuvik::ReplyReceiver* next_;
};

// "serial:<port>:<refresh>"; the port may itself hold colons.
void AutoConnect(tuvik::frmPID& main, const QString& target) {
    const qsizetype first = target.indexOf(QLatin1Char(':'));
    const qsizetype last = target.lastIndexOf(QLatin1Char(':'));
    if (target.left(first) != QStringLiteral("serial") || last <= first) {
        std::fprintf(stderr, "tuvik: TUVIK_AUTOCONNECT wants serial:<port>:<refresh ms>\n");
        return;
    }
    auto* port = main.findChild<QLineEdit*>(QStringLiteral("txtComPort"));
    auto* refresh = main.findChild<QLineEdit*>(QStringLiteral("txtRefresh"));
    auto* tcp = main.findChild<QCheckBox*>(QStringLiteral("chkUseTCP"));
    auto* connect = main.findChild<QPushButton*>(QStringLiteral("btnCon"));
    if (!port || !refresh || !tcp || !connect) {
        std::fprintf(stderr, "tuvik: TUVIK_AUTOCONNECT: connection controls not found\n");
        return;
    }
    port->setText(target.mid(first + 1, last - first - 1));
    refresh->setText(target.mid(last + 1));
    tcp->setChecked(false);
    connect->click();
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    // Qt's own event loop rather than GLib's: at hundreds of replies a second
    // GLib's wake-ups for every socket-notifier change double the system calls
    // per reply. GTK's native file dialogs need GLib's loop, so Qt's own
    // dialogs are used then. QT_NO_GLIB set by the user is left as it is.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) {
        qputenv("QT_NO_GLIB", "1");
    }
    if (!qEnvironmentVariableIsEmpty("QT_NO_GLIB")) {
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VUD_OV"));
    QApplication::setOrganizationName(QStringLiteral("VUD_OV"));
    QApplication::setQuitOnLastWindowClosed(false);

    tuvik::Session session(tuvik::AppPaths::Detect());
    tuvik::frmPID main(session);
    tuvik::AttachToolWindows(session, main);
    QObject::connect(&main, &tuvik::frmPID::unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    const QByteArray timing = qgetenv("TUVIK_STARTUP_TIMING");
    if (!timing.isEmpty()) {
        QObject::connect(&main, &tuvik::frmPID::firstPainted, &app, [&] {
            std::fprintf(stderr, "tuvik: main window painted after %lld ms\n",
                         static_cast<long long>(sinceStart.elapsed()));
            if (timing == "exit") {
                QTimer::singleShot(0, &app, &QApplication::quit);
            }
        });
    }

    main.Form_Load();

    std::unique_ptr<CountingReceiver> counter;
    long long messages = 0;
    QMetaObject::Connection messageCount;
    const QString statsFile = qEnvironmentVariable("TUVIK_STATS_FILE");
    if (!statsFile.isEmpty()) {
        counter = std::make_unique<CountingReceiver>(session.ctx().replyReceiver());
        session.ctx().setReplyReceiver(counter.get());
        messageCount = QObject::connect(&session.log(), &tuvik::MessageLog::logTextChanged, &app,
                                        [&messages](const QString& text) {
                                            if (!text.isEmpty()) {
                                                ++messages;
                                            }
                                        });
    }
    const QString autoConnect = qEnvironmentVariable("TUVIK_AUTOCONNECT");
    if (!autoConnect.isEmpty()) {
        QTimer::singleShot(0, &main, [&main, autoConnect] { AutoConnect(main, autoConnect); });
    }
    bool secondsOk = false;
    const int runSeconds = qEnvironmentVariableIntValue("TUVIK_RUN_SECONDS", &secondsOk);
    if (secondsOk && runSeconds > 0) {
        QTimer::singleShot(std::min(runSeconds, 1000000) * 1000, &app, &QApplication::quit);
    }

    const int rc = app.exec();
    if (counter) {
        // The windows and links go after this; nothing may count into a
        // receiver or totals that are gone by then.
        QObject::disconnect(messageCount);
        session.ctx().setReplyReceiver(counter->next());
        QFile out(statsFile);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            out.write(QStringLiteral("replies %1\nbroken_packets %2\nmessages %3\n"
                                     "chart_paints %4\nchart_paint_us %5\nchart_backgrounds %6\n")
                          .arg(counter->replies)
                          .arg(session.connection().BrokenPackets())
                          .arg(messages)
                          .arg(main.chart().paintCount())
                          .arg(main.chart().paintNanoseconds() / 1000)
                          .arg(main.chart().backgroundDraws())
                          .toUtf8());
        }
    }
    return rc;
}
