#pragma once

#include <QByteArray>
#include <QString>

namespace drivora {

// Paths keep the bytes the file system gave them. Bytes that are not part of
// valid UTF-8 (a card written by another system) travel inside the text as
// the lone surrogates U+DC80..U+DCFF, one per byte, so that a name turns back
// into exactly its bytes and two names that differ only in such bytes stay
// two. Every file access goes through NativeFromPath.
QString PathFromNative(QByteArrayView bytes);
QByteArray NativeFromPath(const QString &path);

// The text shown to a user: escaped bytes appear as U+FFFD.
QString DisplayPath(const QString &path);

// True when the path names a regular file (following links): FIFOs, devices
// and sockets named like a recording are never read.
bool IsRegularFile(const QString &path);
// True when something other than a regular file is there (a folder, FIFO,
// device or socket); false for a regular file and for nothing at all.
bool IsSomethingElseThanAFile(const QString &path);

// Opens a regular file for reading without ever blocking (a FIFO's open
// would wait for a writer): a descriptor, or -1 when the path is no regular
// file, cannot be opened, or is larger than maxSize bytes (when maxSize >= 0).
int OpenRegularFile(const QString &path, qint64 maxSize = -1);

} // namespace drivora
