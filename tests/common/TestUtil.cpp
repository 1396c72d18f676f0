#include "TestUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <cstring>

#include "trend/HistoryDb.h"

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
    WaitUntil([] { return false; }, d);
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
    return Hex("92 10 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10") +
           static_cast<char>(trailer);
}

std::vector<uint8_t> LiveSingles(float out, float meas, float sp, float fw) {
    std::vector<uint8_t> d(16);
    for (int i = 0; const float v : {out, meas, sp, fw}) {
        std::memcpy(d.data() + 4 * i++, &v, 4);
    }
    return d;
}

QStringList HistoryRows(const QString& path, const QString& sql) {
    HistoryDb db(QStringLiteral("rows"));
    QStringList rows{db.OpenForReading(path)};
    QSqlQuery q(db.database());
    if (rows[0].isEmpty() && q.exec(sql)) {
        for (rows.clear(); q.next(); rows.back() = rows.back().trimmed()) {
            rows << QString();
            for (int i = 0; i < q.record().count(); ++i) {
                rows.back() += q.value(i).toString() + QLatin1Char(' ');
            }
        }
    }
    return rows;
}

}  // namespace tuvik::test
