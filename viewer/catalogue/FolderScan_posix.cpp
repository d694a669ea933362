#include "FolderScan.h"

#include <QFile>

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace drivora {

bool ForEachFolderItem(const QByteArray &folder, const std::function<void(QByteArrayView, bool)> &visit)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    while (const dirent *item = ::readdir(dir)) {
        const char *name = item->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        bool isFolder = item->d_type == DT_DIR;
        if (item->d_type == DT_UNKNOWN) { // some file systems do not say
            struct stat st {};
            const QByteArray full = folder + name;
            isFolder = ::lstat(full.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        visit(QByteArrayView(name, qsizetype(std::strlen(name))), isFolder);
    }
    ::closedir(dir);
    return true;
}

bool IsFolder(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace drivora
