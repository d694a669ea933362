#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

namespace drivora {
namespace {
QString &documentsOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString GetAppDirectory()
{
    QString program;
    if (QCoreApplication::instance()) {
        program = QCoreApplication::applicationFilePath();
    } else {
        std::error_code ec;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec)
            program = QString::fromStdString(self.string());
    }
    const qsizetype cut = program.lastIndexOf(QLatin1Char('/'));
    if (cut <= 0)
        return {};
    return program.left(cut);
}

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
        return info.exists() || info.isSymLink(); // a dangling link is still found
    const QDir folder = info.dir();
    return !folder.entryList({name}, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty();
}

QString GetCaptureFolder()
{
    QString documents = documentsOverride();
    if (documents.isEmpty())
        documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        return {};
    while (documents.size() > 1 && documents.endsWith(QLatin1Char('/')))
        documents.chop(1);
    const QString folder = documents + QStringLiteral("/CAM_CAPTURE");
    // With the documents folder itself where it is missing: a fresh account
    // may have none yet, and a capture must not fail for that.
    QDir().mkpath(folder);
    return folder;
}

void SetDocumentsFolderForTesting(const QString &folder)
{
    documentsOverride() = folder;
}

} // namespace drivora
