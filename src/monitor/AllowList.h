#pragma once
// Who may connect to the relay: addresses and CIDR ranges (relay.allow),
// IPv4 and IPv6; an IPv4-mapped IPv6 address (::ffff:a.b.c.d) is taken as
// the IPv4 address it holds, on either side. An empty list means loopback
// only (127.0.0.0/8 and ::1). The configuration reader checks relay.allow
// with Parse; the relay matches every connection with Allows.

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace tuvik::monitor {

class AllowList {
  public:
    // Loopback only, as an empty list.
    AllowList();

    // Takes the entries ("192.168.1.20", "10.0.0.0/8", "fd00::/8"; blanks
    // around an entry are ignored). On a bad entry the error names it and
    // says what is wrong, and the list lets nobody in.
    std::optional<QString> Parse(const QStringList& entries);
    // The same check without keeping the list.
    static std::optional<QString> Check(const QStringList& entries);

    bool Allows(const QHostAddress& peer) const;

    // 127.0.0.0/8, ::1, or an IPv4-mapped loopback address: what a listen
    // address must be when there is no allow list.
    static bool IsLoopback(const QHostAddress& address);
    // The IPv4 address an IPv4-mapped one holds; any other as it is.
    static QHostAddress Unmapped(const QHostAddress& address);

  private:
    std::vector<std::pair<QHostAddress, int>> ranges_;
};

}  // namespace tuvik::monitor
