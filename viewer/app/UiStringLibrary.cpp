#include "UiStringLibrary.h"

#include "catalogue/AppPaths.h"
#include "catalogue/NativePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace drivora {
namespace {

// A few hundred texts of at most 1023 bytes each: anything far larger is not
// the interface texts.
constexpr qint64 kMaxCatalogueBytes = 4 << 20;

struct FileIdentity {
    quint64 device = 0, inode = 0;
    qint64 size = -1, mtimeNs = 0;
    bool operator==(const FileIdentity &) const = default;
};

// One catalogue shared by every holder, like a library that is loaded once and
// counted. The parsed table is kept with the identity of the file it came from,
// so a changed file is read again at its next load.
struct SharedCatalogue {
    std::mutex mutex;
    int references = 0;
    QString searchDirectory;
    FileIdentity identity;
    QHash<int, QByteArray> texts;
    QHash<int, QString> decoded; // the same texts, decoded once
};

SharedCatalogue &shared()
{
    static SharedCatalogue catalogue;
    return catalogue;
}

QByteArray unescape(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            const char n = text[++i];
            c = n == 'n' ? '\n' : n == 't' ? '\t' : n;
        }
        out.append(c);
    }
    return out;
}

QHash<int, QByteArray> parseCatalogue(const QByteArray &data)
{
    QHash<int, QByteArray> texts;
    const QByteArrayView all(data);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        QByteArrayView line = all.sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            continue;
        bool ok = false;
        const int id = line.first(tab).toInt(&ok);
        if (ok)
            texts.insert(id, unescape(line.sliced(tab + 1)));
    }
    return texts;
}

} // namespace

QString UiStringLibrary::catalogueFilePath()
{
    SharedCatalogue &c = shared();
    QString folder;
    {
        std::lock_guard lock(c.mutex);
        folder = c.searchDirectory;
    }
    if (folder.isEmpty())
        folder = GetAppDirectory();
    return QDir(folder).filePath(QString::fromLatin1(kFileName));
}

void UiStringLibrary::setSearchDirectory(const QString &folder)
{
    SharedCatalogue &c = shared();
    std::lock_guard lock(c.mutex);
    c.searchDirectory = folder;
    c.identity = {};
    c.texts.clear();
    c.decoded.clear();
}

bool UiStringLibrary::load()
{
    if (m_loaded)
        return true;
    SharedCatalogue &c = shared();
    {
        std::lock_guard lock(c.mutex);
        if (c.references > 0) { // already loaded by another holder: count it
            ++c.references;
            m_loaded = true;
            return true;
        }
    }
    const QString path = catalogueFilePath();
    std::lock_guard lock(c.mutex);
    // Only a regular file of sane size: a FIFO would block, a device never end.
    const int fd = OpenRegularFile(path, kMaxCatalogueBytes);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    struct stat st {};
    if (::fstat(file.handle(), &st) != 0)
        return false;
    const FileIdentity identity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                                qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    if (!(identity == c.identity)) {
        const QByteArray data = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
        c.texts = parseCatalogue(data);
        c.decoded.clear();
        for (auto it = c.texts.cbegin(); it != c.texts.cend(); ++it) {
            char buffer[kBufferSize];
            const QByteArray &t = it.value();
            qsizetype n = std::min<qsizetype>(t.size(), kBufferSize - 1);
            if (n < t.size())
                while (n > 0 && (quint8(t[n]) & 0xC0) == 0x80)
                    --n;
            std::memcpy(buffer, t.constData(), size_t(n));
            c.decoded.insert(it.key(), QString::fromUtf8(buffer, n));
        }
        c.identity = identity;
    }
    ++c.references;
    m_loaded = true;
    return true;
}

int UiStringLibrary::loadString(int id, char *buffer, int bufferSize) const
{
    if (!buffer || bufferSize <= 0)
        return 0;
    buffer[0] = '\0';
    if (!m_loaded)
        return 0;
    SharedCatalogue &c = shared();
    std::lock_guard lock(c.mutex);
    const auto it = c.texts.constFind(id);
    if (it == c.texts.constEnd())
        return 0;
    const QByteArray &text = *it;
    qsizetype n = std::min<qsizetype>(text.size(), bufferSize - 1);
    // Never cut a UTF-8 sequence in half.
    if (n < text.size())
        while (n > 0 && (quint8(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(buffer, text.constData(), size_t(n));
    buffer[n] = '\0';
    return int(n);
}

QString UiStringLibrary::text(int id) const
{
    // What loadString gives through a 1024-byte buffer, decoded when loaded.
    if (!m_loaded)
        return {};
    SharedCatalogue &c = shared();
    std::lock_guard lock(c.mutex);
    return c.decoded.value(id);
}

void UiStringLibrary::release()
{
    if (!m_loaded)
        return;
    SharedCatalogue &c = shared();
    std::lock_guard lock(c.mutex);
    if (c.references > 0)
        --c.references;
    m_loaded = false;
}

QString LoadUiString(int id)
{
    UiStringLibrary library;
    if (!library.load())
        return {};
    return library.text(id);
}

bool InstallQtKoreanTexts()
{
    static QTranslator *translator = nullptr;
    if (translator)
        return true;
    auto *loaded = new QTranslator(QCoreApplication::instance());
    if (!loaded->load(QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(loaded)) {
        delete loaded;
        return false;
    }
    translator = loaded;
    return true;
}

} // namespace drivora
