#include "CardVolumes.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>

namespace drivora {
namespace {

QString ReadSysText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.read(64)).trimmed() : QString();
}

// Whether the disk under a block device (or one of its partitions) is
// removable, from /sys/class/block.
bool IsRemovableDevice(const QString &device)
{
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    if (name.isEmpty())
        return false;
    const QString block = QStringLiteral("/sys/class/block/") + name;
    if (ReadSysText(block + QStringLiteral("/removable")) == QLatin1String("1"))
        return true;
    // A partition: its disk is the folder above it.
    const QString disk = QFileInfo(QFileInfo(block).canonicalFilePath()).path();
    if (ReadSysText(disk + QStringLiteral("/removable")) == QLatin1String("1"))
        return true;
    // Card readers on USB often say 0: a USB disk counts as removable too.
    return QFileInfo(disk).canonicalFilePath().contains(QLatin1String("/usb"));
}

bool Run(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForStarted(5000)) {
        *error = program + QStringLiteral(": ") + p.errorString();
        return false;
    }
    p.waitForFinished(10 * 60 * 1000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        if (error->isEmpty())
            *error = program + QStringLiteral(" failed");
        return false;
    }
    return true;
}

// The UDisks2 object of a block device, or nothing.
QString UDisksObject(const QString &device)
{
    QDBusInterface manager(QStringLiteral("org.freedesktop.UDisks2"), QStringLiteral("/org/freedesktop/UDisks2/Manager"),
                           QStringLiteral("org.freedesktop.UDisks2.Manager"), QDBusConnection::systemBus());
    if (!manager.isValid())
        return {};
    QVariantMap lookup;
    lookup.insert(QStringLiteral("path"), device);
    const QDBusReply<QList<QDBusObjectPath>> found =
        manager.call(QStringLiteral("ResolveDevice"), lookup, QVariantMap());
    if (!found.isValid() || found.value().isEmpty())
        return {};
    return found.value().first().path();
}

} // namespace

QList<CardVolume> SystemVolumes::volumes()
{
    QList<CardVolume> out;
    for (const QStorageInfo &s : QStorageInfo::mountedVolumes()) {
        const QString device = QString::fromLocal8Bit(s.device());
        const QString fs = QString::fromLatin1(s.fileSystemType());
        if (!device.startsWith(QLatin1String("/dev/")) || !s.isValid())
            continue;
        if (fs == QLatin1String("iso9660") || fs == QLatin1String("udf") || device.startsWith(QLatin1String("/dev/sr")))
            continue; // optical media
        CardVolume v;
        v.label = s.name();
        v.root = s.rootPath();
        v.device = device;
        v.fileSystem = fs;
        v.removable = IsRemovableDevice(device);
        v.mountPoint = true;
        out << v;
    }
    return out;
}

bool IsFatFamily(const QString &fileSystem)
{
    static const QStringList fat = {QStringLiteral("vfat"), QStringLiteral("msdos"), QStringLiteral("fat"),
                                    QStringLiteral("fat12"), QStringLiteral("fat16"), QStringLiteral("fat32"),
                                    QStringLiteral("exfat")};
    return fat.contains(fileSystem.toLower());
}

bool HoldsSystemOrHome(const CardVolume &volume, const QString &home)
{
    const QString root = QDir::cleanPath(volume.root);
    auto holds = [&root](const QString &path) {
        const QString p = QDir::cleanPath(path);
        return root == QLatin1String("/") || p == root || p.startsWith(root + QLatin1Char('/'));
    };
    return root.isEmpty() || holds(QStringLiteral("/usr")) || holds(QStringLiteral("/etc")) ||
           (!home.isEmpty() && (holds(home) || holds(QFileInfo(home).canonicalFilePath())));
}

bool MayHoldCard(const CardVolume &volume, const QString &home)
{
    return !HoldsSystemOrHome(volume, home) && (volume.removable || IsFatFamily(volume.fileSystem));
}

FormatRefusal CheckFormat(const CardVolume &volume, const QString &home)
{
    if (HoldsSystemOrHome(volume, home))
        return FormatRefusal::SystemVolume;
    if (!IsFatFamily(volume.fileSystem))
        return FormatRefusal::NotFat;
    if (!volume.removable)
        return FormatRefusal::NotRemovable;
    return FormatRefusal::None;
}

FormatOutcome MakeFatFileSystem(const QString &device, const QString &label)
{
    FormatOutcome out;
    QString program = QStandardPaths::findExecutable(QStringLiteral("mkfs.vfat"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("mkfs.vfat"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (program.isEmpty()) {
        out.detail = QStringLiteral("mkfs.vfat (dosfstools) is not installed");
        return out;
    }
    out.done = Run(program, {QStringLiteral("-n"), label, device}, &out.detail);
    return out;
}

FormatOutcome SystemFormatter::format(const CardVolume &volume, const QString &label)
{
    FormatOutcome out;
    const QString object = UDisksObject(volume.device);
    if (!object.isEmpty()) {
        const QString service = QStringLiteral("org.freedesktop.UDisks2");
        QDBusInterface fs(service, object, QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QDBusConnection::systemBus());
        QDBusInterface block(service, object, QStringLiteral("org.freedesktop.UDisks2.Block"), QDBusConnection::systemBus());
        block.setTimeout(10 * 60 * 1000);
        fs.call(QStringLiteral("Unmount"), QVariantMap());
        QVariantMap options;
        options.insert(QStringLiteral("label"), label);
        options.insert(QStringLiteral("update-partition-type"), true);
        const QDBusMessage reply = block.call(QStringLiteral("Format"), QStringLiteral("vfat"), options);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            out.detail = reply.errorMessage();
            return out;
        }
        fs.call(QStringLiteral("Mount"), QVariantMap()); // back where the desktop puts cards
        out.done = true;
        return out;
    }
    // No disk service: unmount, make the file system, mount it again.
    if (!Run(QStringLiteral("umount"), {volume.root}, &out.detail))
        return out;
    out = MakeFatFileSystem(volume.device, label);
    QString ignored;
    Run(QStringLiteral("mount"), {volume.device, volume.root}, &ignored);
    return out;
}

} // namespace drivora
