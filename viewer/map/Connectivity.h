// Whether the map can reach its tiles: the system's own answer where it has
// one (the desktop's network service), else whether a default route exists.
// DRIVORA_NETWORK=online or offline forces the answer, for tests and for a
// network that the system misjudges (a route that leads nowhere, a proxy).
#pragma once

#include <QString>

#include <optional>

namespace drivora {

class IConnectivity {
public:
    virtual ~IConnectivity() = default;
    virtual bool isOnline() = 0;
};

inline constexpr const char *kNetworkOverride = "DRIVORA_NETWORK";

// "online" or "offline" in any case; anything else (or nothing) is no answer.
std::optional<bool> ForcedConnectivity(const QByteArray &setting);

// A default route in the kernel's routing tables, read from files in the
// format of /proc/net/route and /proc/net/ipv6_route (loopback ignored).
bool HasDefaultRoute(const QString &ipv4Routes = QStringLiteral("/proc/net/route"),
                     const QString &ipv6Routes = QStringLiteral("/proc/net/ipv6_route"));

class SystemConnectivity final : public IConnectivity {
public:
    bool isOnline() override;
};

} // namespace drivora
