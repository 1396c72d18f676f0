#include "support/ExchangeGuard.h"

namespace tuvik {

namespace {
bool g_busy = false;
QString g_holder;
}  // namespace

bool ExchangeGuard::TryAcquire(const QString& name) {
    if (g_busy) {
        return false;
    }
    g_busy = true;
    g_holder = name;
    return true;
}

void ExchangeGuard::Release() {
    g_busy = false;
    g_holder.clear();
}

bool ExchangeGuard::Busy() {
    return g_busy;
}

QString ExchangeGuard::Holder() {
    return g_holder;
}

QString ExchangeGuard::BusyMessage() {
    if (!g_busy) {
        return {};
    }
    return QStringLiteral("Another transfer is still running (") + g_holder +
           QStringLiteral("). Try again when it has finished.");
}

}  // namespace tuvik
