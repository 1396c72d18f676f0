#include "support/ExchangeGuard.h"

namespace tuvik {

namespace {
bool g_busy = false;
QString g_holder;
QString g_refused;
}  // namespace

bool ExchangeGuard::TryAcquire(const QString& name) {
    if (g_busy || !g_refused.isEmpty()) {
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
    return g_busy || !g_refused.isEmpty();
}

QString ExchangeGuard::BusyMessage() {
    if (!g_refused.isEmpty()) {
        return g_refused;
    }
    if (!g_busy) {
        return {};
    }
    return QStringLiteral("Another transfer is still running (") + g_holder +
           QStringLiteral("). Try again when it has finished.");
}

void ExchangeGuard::RefuseSending(const QString& reason) {
    g_refused = reason;
}

QString ExchangeGuard::SendingRefused() {
    return g_refused;
}

}  // namespace tuvik
