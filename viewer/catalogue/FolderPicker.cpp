#include "FolderPicker.h"

#include <QFileDialog>
#include <QFileInfo>

namespace drivora {

bool BrowseForFolder(const QString &initialPath, QWidget *owner, QString &folder)
{
    folder.clear();
    QFileDialog dialog(owner, QStringLiteral("폴더 선택"), initialPath);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, false); // files are listed too
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    QString chosen = dialog.selectedFiles().constFirst();
    if (chosen.isEmpty())
        return false;
    if (QFileInfo(chosen).isDir() && !chosen.endsWith(QLatin1Char('/')))
        chosen += QLatin1Char('/');
    folder = chosen;
    return true;
}

} // namespace drivora
