#include "Snapshot.h"

#include "catalogue/AppPaths.h"
#include "catalogue/NativePath.h"

#include <QImageWriter>
#include <QSaveFile>

namespace drivora {

QString SnapshotBaseName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 1 ? name.left(dot) : name;
}

QString SnapshotFileName(const QString &folder, const QString &recordingFileName, const QDateTime &when, int channel)
{
    const QDate d = when.date();
    const QTime t = when.time();
    const QString stamp = QString::asprintf("%04d-%02d-%02d-%02dh%02dm%02ds%03d", d.year(), d.month(), d.day(),
                                            t.hour(), t.minute(), t.second(), t.msec());
    const QString where = folder.isEmpty() ? GetCaptureFolder() : folder;
    return where + QLatin1Char('/') + SnapshotBaseName(recordingFileName) + QLatin1Char('-') + stamp +
           QStringLiteral("(Track%1).jpg").arg(channel);
}

QString SaveSnapshot(const QImage &picture, const QString &path)
{
    if (picture.isNull())
        return QStringLiteral("no picture");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QImageWriter writer(&file, "jpg");
    if (!writer.write(picture)) {
        file.cancelWriting();
        return writer.errorString();
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace drivora
