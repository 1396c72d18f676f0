#include "monitor/AllowList.h"

#include <algorithm>

namespace tuvik::monitor {

namespace {

const std::vector<std::pair<QHostAddress, int>> kLoopback = {
    {QHostAddress(QStringLiteral("127.0.0.0")), 8},
    {QHostAddress(QHostAddress::LocalHostIPv6), 128}};

std::optional<std::pair<QHostAddress, int>> ParseEntry(const QString& text, QString* why) {
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    QHostAddress address;
    const QString part = slash < 0 ? text : text.left(slash);
    const bool parsed = address.setAddress(part) && address.scopeId().isEmpty();
    const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    // Four plain decimal parts: "10.1" or "010.0.0.1" mean something else to
    // each program that reads them.
    if (!parsed || (v4 && address.toString() != part)) {
        *why = QStringLiteral("not an IP address");
        return std::nullopt;
    }
    const int bits = v4 ? 32 : 128;
    int prefix = bits;
    if (slash >= 0) {
        bool ok = false;
        const QString len = text.mid(slash + 1);
        prefix = len.toInt(&ok);
        // Digits only: "/+8" or "/ 8" is a typing error, not a range.
        if (!ok || len.isEmpty() ||
            !std::all_of(len.begin(), len.end(), [](QChar c) { return c.isDigit(); }) ||
            prefix < 0 || prefix > bits) {
            *why = QStringLiteral("the prefix length must be 0 to %1").arg(bits);
            return std::nullopt;
        }
    }
    // ::ffff:a.b.c.d/104 is a.b.c.d/8.
    const QHostAddress plain = AllowList::Unmapped(address);
    if (!v4 && plain.protocol() == QAbstractSocket::IPv4Protocol) {
        if (prefix < 96) {
            *why = QStringLiteral("an IPv4-mapped range needs a prefix of 96 or more");
            return std::nullopt;
        }
        return std::pair(plain, prefix - 96);
    }
    return std::pair(address, prefix);
}

}  // namespace

AllowList::AllowList() : ranges_(kLoopback) {}

QHostAddress AllowList::Unmapped(const QHostAddress& address) {
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        bool ok = false;
        const quint32 v4 = address.toIPv4Address(&ok);
        if (ok) {
            return QHostAddress(v4);
        }
    }
    return address;
}

std::optional<QString> AllowList::Parse(const QStringList& entries) {
    std::vector<std::pair<QHostAddress, int>> ranges;
    for (const QString& raw : entries) {
        const QString entry = raw.trimmed();
        QString why;
        const auto range = ParseEntry(entry, &why);
        if (!range) {
            ranges_.clear();
            return QStringLiteral("\"%1\": %2").arg(entry, why);
        }
        ranges.push_back(*range);
    }
    ranges_ = ranges.empty() ? kLoopback : std::move(ranges);
    return std::nullopt;
}

std::optional<QString> AllowList::Check(const QStringList& entries) {
    return AllowList().Parse(entries);
}

bool AllowList::Allows(const QHostAddress& peer) const {
    const QHostAddress plain = Unmapped(peer);
    for (const auto& [network, prefix] : ranges_) {
        if (plain.isInSubnet(network, prefix)) {
            return true;
        }
    }
    return false;
}

bool AllowList::IsLoopback(const QHostAddress& address) {
    return AllowList().Allows(address);
}

}  // namespace tuvik::monitor
