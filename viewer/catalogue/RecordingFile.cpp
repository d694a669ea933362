#include "RecordingFile.h"

#include "catalogue/NativePath.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include <cstring>

namespace drivora {
namespace {

constexpr uint32_t kMaxHeaderList = 1 << 20; // stream headers are small
constexpr uint32_t kMaxStreams = 100;        // chunk ids carry two digits
// The largest chunk of each kind taken for one when the reader looks for the
// next whole chunk after damage.
constexpr uint32_t kMaxVideoChunk = 32u << 20;
constexpr uint32_t kMaxOtherChunk = 1u << 20;

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t *p)
{
    return uint16_t(p[0] | p[1] << 8);
}
bool is(const uint8_t *p, const char *id)
{
    return std::memcmp(p, id, 4) == 0;
}
uint64_t padded(uint32_t size)
{
    return uint64_t(size) + (size & 1);
}

} // namespace

RecordingFile::~RecordingFile()
{
    close();
}

void RecordingFile::close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_streams.clear();
    m_records.clear();
    m_next = 0;
    m_telemetryStream = -1;
    m_moviStart = m_moviEnd = 0;
    m_indexAt = 0;
    m_indexSize = 0;
}

bool RecordingFile::fail(const QString &message)
{
    close();
    m_error = message;
    return false;
}

bool RecordingFile::readAt(uint64_t offset, void *data, size_t size)
{
    if (!m_file || offset > m_fileSize || size > m_fileSize - offset)
        return false;
    if (::fseeko(m_file, off_t(offset), SEEK_SET) != 0)
        return false;
    return std::fread(data, 1, size, m_file) == size;
}

int RecordingFile::videoStreamCount() const
{
    int n = 0;
    for (const RecordingStream &s : m_streams)
        n += s.type == "vids";
    return n;
}

int RecordingFile::audioStreamCount() const
{
    int n = 0;
    for (const RecordingStream &s : m_streams)
        n += s.type == "auds";
    return n;
}

bool RecordingFile::open(const QString &path)
{
    close();
    m_error.clear();
    // Regular files only: a FIFO named like a recording would block forever.
    const int fd = OpenRegularFile(path);
    if (fd >= 0 && !(m_file = ::fdopen(fd, "rb")))
        ::close(fd);
    if (!m_file)
        return fail(QStringLiteral("cannot open %1 as a recording file").arg(DisplayPath(path)));
    if (::fseeko(m_file, 0, SEEK_END) != 0)
        return fail(QStringLiteral("cannot read %1").arg(path));
    m_fileSize = uint64_t(::ftello(m_file));

    uint8_t head[12];
    if (!readAt(0, head, sizeof head) || !is(head, "RIFF") || !is(head + 8, "AVI "))
        return fail(QStringLiteral("not a recording (no AVI header): %1").arg(path));
    // A truncated file declares more than it holds.
    m_riffEnd = std::min<uint64_t>(8 + uint64_t(le32(head + 4)), m_fileSize);

    bool haveHeaders = false;
    uint64_t indexAt = 0;
    uint32_t indexSize = 0;
    uint64_t at = 12;
    while (at + 8 <= m_riffEnd) {
        uint8_t chunk[12];
        if (!readAt(at, chunk, 8))
            break;
        const uint32_t size = le32(chunk + 4);
        const uint64_t dataAt = at + 8;
        const uint64_t available = m_riffEnd - dataAt;
        if (is(chunk, "LIST") && size >= 4 && readAt(dataAt, chunk + 8, 4)) {
            if (is(chunk + 8, "hdrl") && !haveHeaders) {
                if (size > kMaxHeaderList || size > available)
                    return fail(QStringLiteral("damaged stream headers: %1").arg(path));
                if (!parseHeaderList(dataAt + 4, size - 4))
                    return fail(QStringLiteral("damaged stream headers: %1").arg(path));
                haveHeaders = true;
            } else if (is(chunk + 8, "movi") && m_moviStart == 0) {
                m_moviStart = dataAt;
                m_moviEnd = dataAt + std::min<uint64_t>(size, available);
            }
        } else if (is(chunk, "idx1") && size <= available) {
            indexAt = dataAt; // a cut index is incomplete: the media data is scanned instead
            indexSize = size;
        }
        if (size > available)
            break; // the last chunk is cut off
        at = dataAt + padded(size);
    }
    if (!haveHeaders)
        return fail(QStringLiteral("damaged recording (no stream headers): %1").arg(path));
    if (m_moviStart == 0)
        return fail(QStringLiteral("damaged recording (no media data): %1").arg(path));

    if (indexSize >= 16) {
        m_indexAt = indexAt;
        m_indexSize = indexSize;
    }
    if (m_telemetryStream >= 0) {
        if (indexSize >= 16)
            readIndex(indexAt, indexSize);
        if (m_records.empty())
            scanMovi(); // no index, as in a recording cut short
    }
    return true;
}

bool RecordingFile::parseHeaderList(uint64_t offset, uint32_t size)
{
    std::vector<uint8_t> list(size);
    if (!readAt(offset, list.data(), size))
        return false;
    const uint8_t *p = list.data();
    const uint8_t *end = p + size;
    // Children of "hdrl": "avih", then one "strl" list per stream.
    while (end - p >= 8) {
        const uint32_t childSize = le32(p + 4);
        if (childSize > uint64_t(end - p - 8))
            return false;
        if (is(p, "LIST") && childSize >= 4 && is(p + 8, "strl")) {
            if (m_streams.size() >= kMaxStreams)
                return false;
            RecordingStream stream;
            const uint8_t *q = p + 12;
            const uint8_t *qend = p + 8 + childSize;
            while (qend - q >= 8) {
                const uint32_t n = le32(q + 4);
                if (n > uint64_t(qend - q - 8))
                    break;
                const uint8_t *d = q + 8;
                if (is(q, "strh") && n >= 36) {
                    stream.type.assign(reinterpret_cast<const char *>(d), 4);
                    stream.handler.assign(reinterpret_cast<const char *>(d + 4), 4);
                    stream.scale = le32(d + 20);
                    stream.rate = le32(d + 24);
                    stream.length = le32(d + 32);
                } else if (is(q, "strf")) {
                    if (stream.type == "vids" && n >= 16) {
                        stream.width = le32(d + 4);
                        stream.height = le32(d + 8);
                    } else if (stream.type == "auds" && n >= 2) {
                        stream.formatTag = le16(d);
                    }
                } else if (is(q, "strn")) {
                    stream.name.assign(reinterpret_cast<const char *>(d), strnlen(reinterpret_cast<const char *>(d), n));
                }
                q = d + std::min<uint64_t>(padded(n), uint64_t(qend - d));
            }
            if (stream.type == "txts" && m_telemetryStream < 0)
                m_telemetryStream = int(m_streams.size());
            m_streams.push_back(stream);
        }
        p += 8 + std::min<uint64_t>(padded(childSize), uint64_t(end - p - 8));
    }
    return !m_streams.empty();
}

bool RecordingFile::isTelemetryChunk(const char id[4]) const
{
    return m_telemetryStream >= 0 && id[0] == char('0' + m_telemetryStream / 10) &&
           id[1] == char('0' + m_telemetryStream % 10) && id[2] == 't' && id[3] == 'x';
}

void RecordingFile::readIndex(uint64_t offset, uint32_t size)
{
    // Entries are read a block at a time. A record is taken only where its
    // entry points at a telemetry chunk that is there, after the previous
    // record: so the records can never outnumber the chunks of the file,
    // whatever the index claims.
    constexpr size_t kBlockEntries = 4096;
    std::vector<uint8_t> block(kBlockEntries * 16);
    const uint64_t entries = size / 16;
    // Offsets count from the "movi" type; some writers give file offsets.
    bool relative = true;
    bool decided = false;
    uint64_t lastRecordAt = 0;
    for (uint64_t first = 0; first < entries; first += kBlockEntries) {
        const size_t count = size_t(std::min<uint64_t>(kBlockEntries, entries - first));
        if (!readAt(offset + first * 16, block.data(), count * 16))
            return;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t *e = block.data() + i * 16;
            if (!isTelemetryChunk(reinterpret_cast<const char *>(e)))
                continue;
            const uint32_t chunkOffset = le32(e + 8);
            const uint32_t chunkSize = le32(e + 12);
            uint8_t header[8];
            if (!decided) {
                if (readAt(m_moviStart + chunkOffset, header, 8) && std::memcmp(header, e, 4) == 0)
                    relative = true;
                else if (readAt(chunkOffset, header, 8) && std::memcmp(header, e, 4) == 0)
                    relative = false;
                else
                    continue;
                decided = true;
            }
            const uint64_t chunkAt = (relative ? m_moviStart : 0) + uint64_t(chunkOffset);
            const uint64_t dataAt = chunkAt + 8;
            if (chunkAt < lastRecordAt + 8 && !m_records.empty())
                continue; // repeats or goes back: not a chunk of its own
            if (dataAt > m_fileSize || chunkSize > m_fileSize - dataAt)
                continue; // points past the end: a damaged entry
            // The entry must point at a telemetry chunk of that size, not at
            // a video or sound chunk.
            if (!readAt(chunkAt, header, 8) || std::memcmp(header, e, 4) != 0 || le32(header + 4) != chunkSize)
                continue;
            m_records.push_back({dataAt, chunkSize});
            lastRecordAt = chunkAt;
        }
    }
}

void RecordingFile::scanMovi()
{
    uint64_t at = m_moviStart + 4;
    while (at + 8 <= m_moviEnd) {
        uint8_t header[12];
        if (!readAt(at, header, 8))
            break;
        if (!plausibleHeader(header, at)) {
            at = resynchronise(at, -1, nullptr); // damage, or the end of a file cut short
            if (at == 0)
                break;
            continue;
        }
        const uint32_t size = le32(header + 4);
        if (is(header, "LIST")) { // a "rec " group: look inside
            at += 12;
            continue;
        }
        if (isTelemetryChunk(reinterpret_cast<const char *>(header)))
            m_records.push_back({at + 8, size});
        at += 8 + padded(size);
    }
}

bool RecordingFile::plausibleHeader(const uint8_t header[8], uint64_t at) const
{
    const uint32_t size = le32(header + 4);
    if (at + 8 > m_moviEnd || size > m_moviEnd - at - 8)
        return false;
    if (is(header, "LIST"))
        return size >= 4;
    if (is(header, "JUNK"))
        return true;
    auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
    if (!digit(header[0]) || !digit(header[1]))
        return false;
    const size_t stream = size_t(header[0] - '0') * 10 + size_t(header[1] - '0');
    if (stream >= m_streams.size())
        return false;
    const std::string &type = m_streams[stream].type;
    if (type == "vids")
        return header[2] == 'd' && (header[3] == 'c' || header[3] == 'b') && size <= kMaxVideoChunk;
    if (type == "auds")
        return header[2] == 'w' && header[3] == 'b' && size <= kMaxOtherChunk;
    if (type == "txts")
        return header[2] == 't' && header[3] == 'x' && size <= kMaxOtherChunk;
    return header[2] >= 'a' && header[2] <= 'z' && header[3] >= 'a' && header[3] <= 'z' && size <= kMaxOtherChunk;
}

uint64_t RecordingFile::resynchronise(uint64_t from, int stream, int64_t *lost)
{
    if (lost)
        *lost = -1;
    if (const uint64_t at = resynchroniseByIndex(from, stream, lost))
        return at;
    if (lost)
        *lost = -1;
    return resynchroniseByScan(from);
}

uint64_t RecordingFile::resynchroniseByIndex(uint64_t from, int stream, int64_t *lost)
{
    if (m_indexSize < 16)
        return 0;
    constexpr size_t kBlockEntries = 4096;
    std::vector<uint8_t> block(kBlockEntries * 16);
    const uint64_t entries = m_indexSize / 16;
    // An entry counts where the chunk it names is there: its id and size at
    // its offset, from the "movi" type or (some writers) the file's start.
    auto checks = [this](const uint8_t *e, uint64_t chunkAt) {
        uint8_t header[8];
        return chunkAt >= m_moviStart + 4 && readAt(chunkAt, header, 8) && std::memcmp(header, e, 4) == 0 &&
               le32(header + 4) == le32(e + 12) && plausibleHeader(header, chunkAt);
    };
    int base = -1; // 0: from "movi", 1: from the file's start
    int64_t count = 0;
    for (uint64_t first = 0; first < entries; first += kBlockEntries) {
        const size_t n = size_t(std::min<uint64_t>(kBlockEntries, entries - first));
        if (!readAt(m_indexAt + first * 16, block.data(), n * 16))
            return 0;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t *e = block.data() + i * 16;
            const uint64_t offset = le32(e + 8);
            if (base < 0) {
                if (checks(e, m_moviStart + offset))
                    base = 0;
                else if (checks(e, offset))
                    base = 1;
                else
                    continue;
            }
            const uint64_t chunkAt = (base == 0 ? m_moviStart : 0) + offset;
            if (chunkAt < from)
                continue;
            if (checks(e, chunkAt)) {
                if (lost)
                    *lost = count;
                return chunkAt;
            }
            count += stream >= 0 && e[0] == '0' + stream / 10 && e[1] == '0' + stream % 10;
        }
    }
    return 0;
}

uint64_t RecordingFile::resynchroniseByScan(uint64_t from)
{
    constexpr size_t kBlock = 1 << 16;
    std::vector<uint8_t> block(kBlock + 7);
    for (uint64_t base = from + 1; base + 8 <= m_moviEnd; base += kBlock) {
        const size_t n = size_t(std::min<uint64_t>(kBlock + 7, m_moviEnd - base));
        if (!readAt(base, block.data(), n))
            return 0;
        for (size_t i = 0; i + 8 <= n; ++i) {
            const uint8_t *h = block.data() + i;
            if (!plausibleHeader(h, base + i))
                continue;
            // Garbage can look like one header, hardly like two in a row.
            const uint64_t at = base + i;
            const uint64_t next = is(h, "LIST") ? at + 12 : at + 8 + padded(le32(h + 4));
            uint8_t following[8];
            if (next + 8 > m_moviEnd || (readAt(next, following, 8) && plausibleHeader(following, next)))
                return at;
        }
    }
    return 0;
}

VideoChunkWalk::VideoChunkWalk(RecordingFile &file, int n) : m_file(file)
{
    for (int i = 0, seen = 0; i < int(file.m_streams.size()); ++i)
        if (file.m_streams[size_t(i)].type == "vids" && seen++ == n)
            m_stream = i;
    if (!file.m_file)
        m_stream = -1;
    m_at = file.m_moviStart + 4;
}

bool VideoChunkWalk::next(std::vector<uint8_t> &data)
{
    if (m_stream < 0)
        return false;
    const uint8_t id0 = uint8_t('0' + m_stream / 10), id1 = uint8_t('0' + m_stream % 10);
    while (m_at + 8 <= m_file.m_moviEnd) {
        uint8_t header[8];
        if (!m_file.readAt(m_at, header, 8))
            break;
        if (!m_file.plausibleHeader(header, m_at)) {
            int64_t lost = -1;
            const uint64_t resume = m_file.resynchronise(m_at, m_stream, &lost);
            if (resume == 0)
                break; // the file ends (or is damaged up to its end)
            m_damage.push_back({m_at, resume, m_nextPicture, lost});
            m_nextPicture += uint32_t(std::max<int64_t>(lost, 0));
            m_at = resume;
            continue;
        }
        const uint32_t size = le32(header + 4);
        if (is(header, "LIST")) {
            m_at += 12;
            continue;
        }
        const uint64_t dataAt = m_at + 8;
        m_at = dataAt + padded(size);
        if (header[0] == id0 && header[1] == id1 && header[2] == 'd' && (header[3] == 'c' || header[3] == 'b') &&
            size > 0) {
            data.resize(size);
            if (!m_file.readAt(dataAt, data.data(), size))
                break;
            m_picture = m_nextPicture++;
            ++m_handed;
            return true;
        }
    }
    m_cut = m_cut || m_at < m_file.m_moviEnd;
    m_at = m_file.m_moviEnd;
    return false;
}

int32_t RecordingFile::SetParserFlag(uint32_t flag)
{
    m_parserFlag = flag;
    return kRecordCopied;
}

int32_t RecordingFile::GetNextRecord(uint8_t *buffer, uint32_t *size, uint32_t *stampMs)
{
    if (!buffer || !size || *size == 0 || !m_file)
        return kRecordFailed;
    while (m_next < m_records.size()) {
        const Location where = m_records[m_next++];
        // A record chunk: its media time in milliseconds (32 bits, little
        // endian), then the record. The stream's header chunk is no record.
        if (where.size < 4)
            continue;
        uint8_t stamp[5];
        if (!readAt(where.offset, stamp, std::min<uint32_t>(5, where.size)))
            continue;
        if (where.size >= 5 && std::memcmp(stamp, "GAB2", 4) == 0 && stamp[4] == 0)
            continue;
        const uint32_t length = std::min<uint32_t>(where.size - 4, *size - 1);
        if (!readAt(where.offset + 4, buffer, length))
            continue;
        buffer[length] = 0;
        *size = length;
        if (stampMs)
            *stampMs = le32(stamp);
        return kRecordCopied;
    }
    return kNoMoreRecords;
}

PlayProblem WhyNotPlayable(const QString &path)
{
    if (IsSomethingElseThanAFile(path))
        return PlayProblem::NotARecording;
    {
        const int fd = OpenRegularFile(path);
        if (fd < 0)
            return PlayProblem::FileGone;
        char head[12] = {};
        const ssize_t got = ::read(fd, head, sizeof head);
        ::close(fd);
        if (got < ssize_t(sizeof head) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "AVI ", 4) != 0)
            return PlayProblem::NotARecording;
    }
    RecordingFile file;
    if (!file.open(path) || file.videoStreamCount() == 0)
        return PlayProblem::Damaged;
    return PlayProblem::NothingDecodable;
}

} // namespace drivora
