// Until the main window exists the program shows the TCP client window, so
// that it can be connected to the relay (the bundled simulator's, by default).
#include <QApplication>

#include "link/frmClient.h"
#include "link/frmRS232.h"
#include "shell/AppContext.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VUD_OV"));

    tuvik::AppContext ctx;
    tuvik::FixedLinkSettings settings;
    ctx.setLinkSettings(&settings);

    tuvik::frmRS232 serial(ctx);  // hidden, as it always is
    ctx.setActiveLink(&serial.link());

    tuvik::frmClient client(ctx);
    QObject::connect(&client, &tuvik::frmClient::closedByUser, &app, &QApplication::quit);
    ctx.setActiveLink(&client.link());
    client.show();
    return app.exec();
}
