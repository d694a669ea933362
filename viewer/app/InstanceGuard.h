#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace drivora {

// One viewer at a time: a lock named "MA_DV_VIEWER" in the user's runtime
// folder, held for the life of the process. A lock left behind by a viewer
// that was killed or crashed (its process is gone) is taken over.
class InstanceGuard {
public:
    static constexpr const char *kName = "MA_DV_VIEWER";

    // folder: where the lock lives; empty for the user's runtime folder.
    explicit InstanceGuard(const QString &folder = QString());
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    // True when this process now holds the guard; false when another copy
    // runs (or the lock cannot be made at all).
    bool take();
    bool held() const { return m_held; }
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

} // namespace drivora
