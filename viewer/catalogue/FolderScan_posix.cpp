#include "FolderScan.h"

#include "NativePath.h"

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace drivora {

namespace {

FolderItemKind kindOf(const QByteArray &full, bool followLink)
{
    struct stat st {};
    if (::lstat(full.constData(), &st) != 0)
        return FolderItemKind::Other;
    if (S_ISLNK(st.st_mode)) {
        if (!followLink || ::stat(full.constData(), &st) != 0)
            return FolderItemKind::Other;
        return S_ISREG(st.st_mode) ? FolderItemKind::RegularFile : FolderItemKind::Other;
    }
    if (S_ISDIR(st.st_mode))
        return FolderItemKind::Folder;
    return S_ISREG(st.st_mode) ? FolderItemKind::RegularFile : FolderItemKind::Other;
}

} // namespace

bool ForEachFolderItem(const QByteArray &folder, const std::function<void(QByteArrayView, FolderItemKind)> &visit)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    while (const dirent *item = ::readdir(dir)) {
        const char *name = item->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        FolderItemKind kind;
        switch (item->d_type) {
        case DT_DIR:
            kind = FolderItemKind::Folder;
            break;
        case DT_REG:
            kind = FolderItemKind::RegularFile;
            break;
        case DT_LNK:
        case DT_UNKNOWN: // links are followed to files only; some file systems do not say
            kind = kindOf(folder + name, true);
            break;
        default:
            kind = FolderItemKind::Other;
            break;
        }
        visit(QByteArrayView(name, qsizetype(std::strlen(name))), kind);
    }
    ::closedir(dir);
    return true;
}

bool IsFolder(const QString &path)
{
    struct stat st {};
    return ::stat(NativeFromPath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace drivora
