#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace drivora {

enum class FolderItemKind {
    Folder,      // a real folder, not a link to one
    RegularFile, // a regular file, or a link to one
    Other,       // FIFOs, devices, sockets, linked folders, broken links
};

// Calls visit(name, kind) for every item of a folder except "." and "..", in
// the file system's order, with the name's bytes as stored. Linked folders are
// not folders here, so that a link back up the tree cannot make a scan
// endless. Returns false when the folder cannot be read.
bool ForEachFolderItem(const QByteArray &folder, const std::function<void(QByteArrayView, FolderItemKind)> &visit);

// True when the path names a folder (following links).
bool IsFolder(const QString &path);

} // namespace drivora
