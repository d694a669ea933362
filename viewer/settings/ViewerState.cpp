#include "ViewerState.h"

#include "ViewerOptions.h"

#include <QFile>
#include <QFileInfo>

namespace drivora {

QString ViewerStateFilePath(const QString &optionFilePath)
{
    return optionFilePath.isEmpty() ? QString() : QFileInfo(optionFilePath).path() + QStringLiteral("/window.ini");
}

QString ViewModeName(int mode)
{
    switch (mode) {
    case 2:
        return QStringLiteral("rear");
    case 3:
        return QStringLiteral("both");
    default:
        return QStringLiteral("front");
    }
}

int ViewModeFromName(const QString &name)
{
    if (name == QLatin1String("front"))
        return 1;
    if (name == QLatin1String("rear"))
        return 2;
    if (name == QLatin1String("both"))
        return 3;
    return 0;
}

bool ReadViewerState(const QString &path, ViewerState &state)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : file.read(64 * 1024).split('\n')) {
        // Only the line end is cut: a folder's name may begin or end with spaces.
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        const qsizetype equals = l.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = l.left(equals);
        const QString value = QString::fromUtf8(l.mid(equals + 1));
        if (key == "window") {
            const QStringList parts = value.split(QLatin1Char(','));
            bool ok = parts.size() == 4;
            int n[4] = {};
            for (int i = 0; ok && i < 4; ++i)
                n[i] = parts[i].trimmed().toInt(&ok);
            if (ok && n[2] > 0 && n[3] > 0)
                state.geometry = QRect(n[0], n[1], n[2], n[3]);
        } else if (key == "maximised") {
            state.maximised = value == QLatin1String("1");
        } else if (key == "view") {
            if (const int mode = ViewModeFromName(value))
                state.viewMode = mode;
        } else if (key == "folder") {
            state.folder = value;
        } else if (key == "drive") {
            state.drive = value;
        }
    }
    return true;
}

bool WriteViewerState(const QString &path, const ViewerState &state)
{
    QByteArray text;
    if (!state.geometry.isEmpty()) {
        const QRect &g = state.geometry;
        text += "window=" + QByteArray::number(g.x()) + ',' + QByteArray::number(g.y()) + ',' +
                QByteArray::number(g.width()) + ',' + QByteArray::number(g.height()) + '\n';
    }
    text += QByteArray("maximised=") + (state.maximised ? "1" : "0") + '\n';
    text += "view=" + ViewModeName(state.viewMode).toUtf8() + '\n';
    // A name cannot hold a line end of its own here: such a folder is not kept.
    if (!state.folder.contains(QLatin1Char('\n')) && !state.folder.contains(QLatin1Char('\r')))
        text += "folder=" + state.folder.toUtf8() + '\n';
    if (!state.drive.contains(QLatin1Char('\n')) && !state.drive.contains(QLatin1Char('\r')))
        text += "drive=" + state.drive.toUtf8() + '\n';
    return WriteWholeConfigFile(path, text);
}

} // namespace drivora
