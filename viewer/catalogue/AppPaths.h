#pragma once

#include <QString>

class QWidget;

namespace drivora {

// The folder of the running program, without a trailing separator; empty when
// it cannot be told.
QString GetAppDirectory();

// True when a search for the path finds at least one item. The last path
// component may hold the wildcards * and ?.
bool FileExists(const QString &path);

// The default folder for still pictures: the user's documents folder followed
// by "CAM_CAPTURE", created when missing, without a trailing separator. Empty
// when the documents folder cannot be told.
QString GetCaptureFolder();

// Overrides the documents folder (tests); an empty text restores the user's.
void SetDocumentsFolderForTesting(const QString &folder);

} // namespace drivora
