// The mounted volumes a card's setup can be written to, and formatting a
// card: only a removable FAT volume that holds neither the system nor the
// user's home, with the camera's volume label.
#pragma once

#include <QList>
#include <QString>

namespace drivora {

struct CardVolume {
    QString label;      // volume label; may be empty
    QString root;       // where it is mounted, without a trailing separator
    QString device;     // the block device, or a disk image file
    QString fileSystem; // "vfat", "exfat", "ext4", ...
    bool removable = false;
    // The root is where the volume is mounted (the system's volumes): a card
    // file is read or written only while it still is.
    bool mountPoint = false;

    // "label(root)", as the drive list shows it.
    QString entryText() const { return label + QLatin1Char('(') + root + QLatin1Char(')'); }
    QString filePath(const char *name) const
    {
        return root.endsWith(QLatin1Char('/')) ? root + QLatin1String(name) : root + QLatin1Char('/') + QLatin1String(name);
    }
};

class IVolumeSource {
public:
    virtual ~IVolumeSource() = default;
    virtual QList<CardVolume> volumes() = 0;
};

// The system's mounted volumes that live on a block device, optical media
// left out, in mount order.
class SystemVolumes final : public IVolumeSource {
public:
    QList<CardVolume> volumes() override;
};

bool IsFatFamily(const QString &fileSystem);

// Whether the volume holds "/", the system's folders or the home folder.
bool HoldsSystemOrHome(const CardVolume &volume, const QString &home);

// Whether a volume can be the camera's card: removable or FAT-family, and
// not the system's or the home folder's.
bool MayHoldCard(const CardVolume &volume, const QString &home);

enum class FormatRefusal { None, NotFat, NotRemovable, SystemVolume };

// Why a volume may not be formatted. `home` is the user's home folder; the
// volume that holds "/" or the home folder is the system's.
FormatRefusal CheckFormat(const CardVolume &volume, const QString &home);

struct FormatOutcome {
    bool done = false;
    QString detail; // what went wrong, for the message
};

class ICardFormatter {
public:
    virtual ~ICardFormatter() = default;
    virtual FormatOutcome format(const CardVolume &volume, const QString &label) = 0;
};

// Through the desktop's disk service (UDisks2 over D-Bus) where it runs;
// else unmounts the volume, runs mkfs.vfat on its device and mounts it again.
class SystemFormatter final : public ICardFormatter {
public:
    FormatOutcome format(const CardVolume &volume, const QString &label) override;
};

// mkfs.vfat with the label on a device or disk image that is not mounted.
FormatOutcome MakeFatFileSystem(const QString &device, const QString &label);

} // namespace drivora
