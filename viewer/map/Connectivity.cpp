#include "Connectivity.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkInformation>

namespace drivora {

std::optional<bool> ForcedConnectivity(const QByteArray &setting)
{
    const QByteArray s = setting.trimmed().toLower();
    if (s == "online")
        return true;
    if (s == "offline")
        return false;
    return std::nullopt;
}

namespace {

QList<QByteArrayList> RouteLines(const QString &path)
{
    QList<QByteArrayList> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray text = file.read(1 << 20); // routing tables are small; never read without end
    for (const QByteArray &line : text.split('\n'))
        lines.append(line.simplified().split(' '));
    return lines;
}

} // namespace

bool HasDefaultRoute(const QString &ipv4Routes, const QString &ipv6Routes)
{
    // Iface Destination Gateway Flags ...: destination 0, flags with RTF_UP (1).
    for (const QByteArrayList &f : RouteLines(ipv4Routes)) {
        if (f.size() < 4 || f[0] == "lo" || f[1] != "00000000")
            continue;
        bool ok = false;
        if (f[3].toUInt(&ok, 16) & 0x1)
            return true;
    }
    // dest prefixlen src srclen next-hop metric refcnt use flags iface.
    for (const QByteArrayList &f : RouteLines(ipv6Routes)) {
        if (f.size() < 10 || f[9] == "lo" || f[0] != QByteArray(32, '0') || f[1] != "00")
            continue;
        bool ok = false;
        if ((f[8].toUInt(&ok, 16) & 0x1) && f[4] != QByteArray(32, '0'))
            return true; // a route through a gateway (an unreachable default has none)
    }
    return false;
}

bool SystemConnectivity::isOnline()
{
    if (const std::optional<bool> forced = ForcedConnectivity(qgetenv(kNetworkOverride)))
        return *forced;
    if (QCoreApplication::instance()) {
        if (!QNetworkInformation::instance())
            QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
        if (const QNetworkInformation *info = QNetworkInformation::instance()) {
            switch (info->reachability()) {
            case QNetworkInformation::Reachability::Online:
                return true;
            case QNetworkInformation::Reachability::Disconnected:
            case QNetworkInformation::Reachability::Local:
            case QNetworkInformation::Reachability::Site:
                return false;
            case QNetworkInformation::Reachability::Unknown:
                break;
            }
        }
    }
    return HasDefaultRoute();
}

} // namespace drivora
