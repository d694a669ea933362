#include "ViewerOptions.h"

#include "catalogue/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "ConfigText.h"

namespace drivora {
namespace {

QString &optionPath()
{
    static QString path;
    return path;
}

} // namespace

ViewerOptions &ViewerOptions::instance()
{
    static ViewerOptions options;
    return options;
}

bool BuildOptionFilePath()
{
    const QString folder = GetAppDirectory();
    if (folder.isEmpty()) {
        optionPath().clear();
        return false;
    }
    optionPath() = folder + QStringLiteral("/config/option.ini");
    return true;
}

QString OptionFilePath()
{
    return optionPath();
}

void SetOptionFilePathForTesting(const QString &path)
{
    optionPath() = path;
}

bool ReadViewerOptions(const QString &path, ViewerOptions &options)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = file.readAll();
    data.replace("\r\n", "\n"); // text mode

    // Lines of at most 255 characters; a longer line is read in pieces. The
    // end of the line is found once, whatever the number of its pieces.
    qsizetype at = 0;
    qsizetype lineEnd = -1;
    while (at < data.size()) {
        if (lineEnd <= at) {
            lineEnd = data.indexOf('\n', at);
            lineEnd = lineEnd < 0 ? data.size() : lineEnd + 1;
        }
        const qsizetype length = std::min<qsizetype>(lineEnd - at, 255);
        const QByteArray line = StripLineEnds(data.mid(at, length));
        at += length;

        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = StripLineEnds(line.left(equals));
        const QByteArray value = StripLineEnds(line.mid(equals + 1));
        if (key == "SAVE_DIRECTORY")
            options.saveDirectory = value.isEmpty() ? GetCaptureFolder() : QString::fromUtf8(value);
        else if (key == "PLAY_VALUE")
            options.playValue = LeadingInteger(value);
        else if (key == "REAR_MIRROR")
            options.rearMirror = LeadingInteger(value) == 1;
    }
    return true;
}

namespace {

// Writes a whole small file beside its place and renames it over it; the
// old file stays whole unless every byte reached the disk (commit() flushes,
// syncs and renames, and reports any failure on the way).
bool SaveWhole(const QString &path, const QByteArray &text)
{
    if (path.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    // Unbuffered, so that a full disk shows in write() itself.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(text) != text.size() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

bool WriteWholeConfigFile(const QString &path, const QByteArray &text)
{
    return SaveWhole(path, text);
}

bool WriteViewerOptions(const QString &path, const ViewerOptions &options)
{
    return SaveWhole(path, "[DIRECTORY]\r\n"
                           "ROOT_DIRECTORY=CL_DRIVORA\r\n"
                           "EVENT_DIRECTORY=MP4_EVENT\r\n"
                           "CONTINUOS_DIRECTORY=MP4_INFINITE\r\n"
                           "[OPTION]\r\n"
                           "SAVE_DIRECTORY=" + options.saveDirectory.toUtf8() + "\r\n"
                           "PLAY_VALUE=" + QByteArray::number(options.playValue) + "\r\n"
                           "USE_LOG=FALSE\r\n"
                           "LOG_LEVEL=3\r\n"
                           "LOG_TYPE=3\r\n"
                           "REAR_MIRROR=" + QByteArray(options.rearMirror ? "1" : "0") + "\r\n");
}

QString ExtraOptionFilePath(const QString &optionFilePath)
{
    return optionFilePath.isEmpty() ? QString() : QFileInfo(optionFilePath).path() + QStringLiteral("/viewer.ini");
}

bool ReadExtraOptions(const QString &path, ViewerOptions &options)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : file.read(64 * 1024).split('\n')) {
        const QByteArray l = StripLineEnds(line);
        if (l.startsWith("speed_unit="))
            options.speedInMiles = l.mid(11).trimmed() == "mph";
    }
    return true;
}

bool WriteExtraOptions(const QString &path, const ViewerOptions &options)
{
    return SaveWhole(path, QByteArray("speed_unit=") + (options.speedInMiles ? "mph" : "km/h") + "\n");
}

} // namespace drivora
