#include "TestUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace tuvik::test {

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() >= limit.count()) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void Pump(std::chrono::milliseconds d) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < d.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

QByteArray Hex(const char* spaced) {
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray LiveValues(uint8_t trailer) {
    QByteArray p = Hex("92 10");
    for (int i = 0; i < 16; ++i) {
        p.append(static_cast<char>(i + 1));
    }
    p.append(static_cast<char>(trailer));
    return p;
}

}  // namespace tuvik::test
