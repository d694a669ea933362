#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <initializer_list>

// A folder of empty files that the catalogue tests scan.
class CardFolder {
public:
    CardFolder() = default;
    QString path() const { return m_dir.path() + QLatin1Char('/'); }
    QString add(const QString &relativePath)
    {
        const QString full = m_dir.filePath(relativePath);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile file(full);
        file.open(QIODevice::WriteOnly);
        return full;
    }
    void addAll(std::initializer_list<const char *> names)
    {
        for (const char *n : names)
            add(QString::fromUtf8(n));
    }

private:
    QTemporaryDir m_dir;
};
