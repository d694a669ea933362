#include "ReportFiles.h"

#include "app/ViewerIds.h"
#include "catalogue/AppPaths.h"
#include "catalogue/NativePath.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace drivora {

FileDigest DigestFile(const QString &path, const std::function<bool(qint64, qint64)> &progress)
{
    FileDigest digest;
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        digest.error = QString::fromUtf8(ids::kReportDigestNoFile).arg(DisplayPath(path));
        return digest;
    }
    struct stat st {};
    const qint64 total = ::fstat(fd, &st) == 0 ? qint64(st.st_size) : 0;
    // OpenSSL's SHA-256 uses the processor's SHA instructions where it has
    // them: several times faster than Qt's own on a long recording.
    const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX *)> sha(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!sha || EVP_DigestInit_ex(sha.get(), EVP_sha256(), nullptr) != 1) {
        ::close(fd);
        digest.error = QString::fromUtf8(ids::kReportDigestReadError).arg(DisplayPath(path), QStringLiteral("SHA-256"));
        return digest;
    }
    QByteArray chunk(kDigestChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), size_t(chunk.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            digest.error = QString::fromUtf8(ids::kReportDigestReadError)
                               .arg(DisplayPath(path), QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd);
            return digest;
        }
        if (n == 0)
            break;
        EVP_DigestUpdate(sha.get(), chunk.constData(), size_t(n));
        digest.size += n;
        if (progress && !progress(digest.size, std::max(total, digest.size))) {
            digest.cancelled = true;
            ::close(fd);
            return digest;
        }
    }
    ::close(fd);
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(sha.get(), sum, &length);
    digest.sha256 = QByteArray(reinterpret_cast<const char *>(sum), int(length));
    digest.ok = true;
    return digest;
}

DigestJob::DigestJob(QString path, QObject *parent) : QObject(parent), m_path(std::move(path)) {}

DigestJob::~DigestJob()
{
    m_cancel = true;
    if (m_worker)
        m_worker->wait();
}

void DigestJob::start()
{
    if (m_worker)
        return;
    m_worker.reset(QThread::create([this] {
        m_result = DigestFile(m_path, [this](qint64 done, qint64 total) {
            emit progressed(done, total);
            return !m_cancel.load();
        });
    }));
    connect(m_worker.get(), &QThread::finished, this, &DigestJob::finished, Qt::QueuedConnection);
    m_worker->start();
}

bool DigestJob::running() const
{
    return m_worker && m_worker->isRunning();
}

ReportFilePreset PresetReportFile(const QString &pictureFolder, const QDateTime &now)
{
    ReportFilePreset preset;
    QString folder = pictureFolder.isEmpty() ? GetCaptureFolder() : pictureFolder;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) {
        preset.problem = QString::fromUtf8(ids::kReportFolderMissing).arg(DisplayPath(folder));
        return preset;
    }
    // Tried for real: permissions alone do not tell a read-only mount or a
    // full card.
    QTemporaryFile probe(folder + QStringLiteral("/.report-XXXXXX"));
    if (!probe.open() || probe.write("%PDF", 4) != 4 || !probe.flush()) {
        preset.problem = QString::fromUtf8(ids::kReportFolderNotWritable).arg(DisplayPath(folder), probe.errorString());
        return preset;
    }
    preset.file = folder + QStringLiteral("/KVR-2650 Report ") + now.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) +
                  QStringLiteral(".pdf");
    return preset;
}

} // namespace drivora
