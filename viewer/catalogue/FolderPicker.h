#pragma once

#include <QString>

class QWidget;

namespace drivora {

// Asks the user for a folder, titled "폴더 선택", listing files too. On
// confirmation folder holds the chosen path ending in a separator and the result
// is true; on cancel folder is empty and the result is false.
bool BrowseForFolder(const QString &initialPath, QWidget *owner, QString &folder);

} // namespace drivora
