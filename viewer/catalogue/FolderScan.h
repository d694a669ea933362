#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace drivora {

// Calls visit(name, isFolder) for every item of a folder except "." and "..",
// in the file system's order. Linked folders are reported as files, so that a
// link back up the tree cannot make a scan endless. Returns false when the
// folder cannot be read.
bool ForEachFolderItem(const QByteArray &folder, const std::function<void(QByteArrayView, bool)> &visit);

// True when the path names a folder (following links).
bool IsFolder(const QString &path);

} // namespace drivora
