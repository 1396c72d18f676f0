#include <QApplication>

#include "shell/AppContext.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VUD_OV"));
    tuvik::AppContext ctx;
    return 0;
}
