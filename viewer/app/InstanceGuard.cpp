#include "InstanceGuard.h"

#include <QDir>
#include <QStandardPaths>

namespace drivora {

InstanceGuard::InstanceGuard(const QString &folder)
{
    QString where = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
    if (where.isEmpty())
        where = QDir::tempPath();
    m_path = QDir(where).filePath(QString::fromLatin1(kName) + QStringLiteral(".lock"));
    m_lock = std::make_unique<QLockFile>(m_path);
    // Never stale by age: only a holder that no longer runs gives it up.
    m_lock->setStaleLockTime(0);
}

InstanceGuard::~InstanceGuard()
{
    if (m_held)
        m_lock->unlock();
}

bool InstanceGuard::take()
{
    if (!m_held)
        m_held = m_lock->tryLock(0);
    return m_held;
}

} // namespace drivora
