// The program starts with the main window; closing it ends the program.
//
// TUVIK_STARTUP_TIMING=1 prints the milliseconds from the start of main to
// the first paint of the main window on stderr; TUVIK_STARTUP_TIMING=exit
// also ends the program there (for measuring the start-up).
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

#include "shell/AppPaths.h"
#include "shell/Session.h"
#include "shell/frmPID.h"
#include "shell/frmToolWindows.h"

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
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
    return app.exec();
}
