#include "AviWriter.h"

#include <cstring>

namespace cardgen {

std::vector<uint8_t> TelemetryStreamHeader(const std::string &name)
{
    // "GAB2", 0, then the stream's name (UTF-16, with its terminator) and an
    // empty subtitle file of one blank, one-millisecond cue.
    std::vector<uint8_t> h = {'G', 'A', 'B', '2', 0, 2, 0};
    const uint32_t nameBytes = uint32_t(name.size() + 1) * 2;
    for (int i = 0; i < 4; ++i)
        h.push_back(uint8_t(nameBytes >> (8 * i)));
    for (char c : name) {
        h.push_back(uint8_t(c));
        h.push_back(0);
    }
    h.push_back(0);
    h.push_back(0);
    const std::string file = "1\r\n00:00:00,000 --> 00:00:00,001\r\n \r\n\r\n";
    h.push_back(4);
    h.push_back(0);
    for (int i = 0; i < 4; ++i)
        h.push_back(uint8_t(uint32_t(file.size()) >> (8 * i)));
    h.insert(h.end(), file.begin(), file.end());
    return h;
}

AviWriter::~AviWriter()
{
    if (m_file)
        std::fclose(m_file);
}

void AviWriter::putBytes(const void *d, size_t n)
{
    if (n && std::fwrite(d, 1, n, m_file) != n)
        m_failed = true;
}
void AviWriter::put32(uint32_t v)
{
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    putBytes(b, 4);
}
void AviWriter::put16(uint16_t v)
{
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    putBytes(b, 2);
}
void AviWriter::putId(const char *id)
{
    putBytes(id, 4);
}
long AviWriter::tell() const
{
    return std::ftell(m_file);
}
void AviWriter::patch32(long at, uint32_t v)
{
    const long here = tell();
    std::fseek(m_file, at, SEEK_SET);
    put32(v);
    std::fseek(m_file, here, SEEK_SET);
}

std::string AviWriter::chunkId(size_t stream) const
{
    char id[5];
    const char *kind = m_streams[stream].type == AviStream::Video ? "dc"
                       : m_streams[stream].type == AviStream::Audio ? "wb"
                                                                     : "tx";
    std::snprintf(id, sizeof id, "%02zu%s", stream, kind);
    return id;
}

bool AviWriter::open(const std::string &path, const std::vector<AviStream> &streams)
{
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file)
        return false;
    m_streams = streams;
    m_lengths.assign(streams.size(), 0);
    m_lengthAt.assign(streams.size(), 0);

    const AviStream *front = nullptr;
    for (const AviStream &s : streams)
        if (s.type == AviStream::Video && !front)
            front = &s;

    putId("RIFF");
    m_riffSizeAt = tell();
    put32(0);
    putId("AVI ");

    // Build "hdrl" in place; its size is patched after the stream lists.
    putId("LIST");
    const long hdrlSizeAt = tell();
    put32(0);
    putId("hdrl");
    putId("avih");
    put32(56);
    put32(front ? 1000000 / front->fps : 0); // microseconds per frame
    put32(0);                                // max bytes per second
    put32(0);                                // padding granularity
    put32(0x10 | 0x100);                     // has index, interleaved
    m_totalFramesAt = tell();
    put32(0); // total frames, patched
    put32(0); // initial frames
    put32(uint32_t(streams.size()));
    put32(1 << 20); // suggested buffer size
    put32(front ? front->width : 0);
    put32(front ? front->height : 0);
    for (int i = 0; i < 4; ++i)
        put32(0);

    for (size_t i = 0; i < streams.size(); ++i) {
        const AviStream &s = streams[i];
        putId("LIST");
        const long strlSizeAt = tell();
        put32(0);
        putId("strl");
        putId("strh");
        put32(56);
        putId(s.type == AviStream::Video ? "vids" : s.type == AviStream::Audio ? "auds" : "txts");
        if (s.type == AviStream::Video)
            putId("H264");
        else
            put32(0);
        put32(0); // flags
        put16(0); // priority
        put16(0); // language
        put32(0); // initial frames
        if (s.type == AviStream::Video) {
            put32(1);
            put32(s.fps);
        } else {
            put32(s.scale);
            put32(s.rate);
        }
        put32(0); // start
        m_lengthAt[i] = tell();
        put32(0);         // length, patched
        put32(1 << 20);   // suggested buffer size
        put32(0xFFFFFFFF); // quality
        put32(s.type == AviStream::Video ? 0 : s.sampleSize);
        put16(0);
        put16(0);
        put16(uint16_t(s.width));
        put16(uint16_t(s.height));

        putId("strf");
        if (s.type == AviStream::Video) {
            put32(40);
            put32(40);
            put32(s.width);
            put32(s.height);
            put16(1);  // planes
            put16(24); // bit count
            putId("H264");
            put32(s.width * s.height * 3);
            put32(0);
            put32(0);
            put32(0);
            put32(0);
        } else if (s.type == AviStream::Audio) {
            const uint32_t size = 18 + uint32_t(s.extra.size());
            put32(size);
            put16(s.formatTag);
            put16(s.channels);
            put32(s.sampleRate);
            put32(s.avgBytesPerSec);
            put16(s.blockAlign);
            put16(s.bitsPerSample);
            put16(uint16_t(s.extra.size()));
            putBytes(s.extra.data(), s.extra.size());
            if (size & 1)
                putBytes("", 1);
        } else {
            // Demultiplexers want a format chunk for every stream; the
            // records describe themselves, so it only names the layout.
            put32(4);
            putId("GSRC");
        }
        if (!s.name.empty()) {
            const uint32_t n = uint32_t(s.name.size() + 1);
            putId("strn");
            put32(n);
            putBytes(s.name.c_str(), n);
            if (n & 1)
                putBytes("", 1);
        }
        patch32(strlSizeAt, uint32_t(tell() - strlSizeAt - 4));
    }
    patch32(hdrlSizeAt, uint32_t(tell() - hdrlSizeAt - 4));

    putId("LIST");
    m_moviSizeAt = tell();
    put32(0);
    m_moviStart = tell(); // index offsets count from the "movi" type
    putId("movi");

    m_headerWritten.assign(streams.size(), false);
    return !m_failed;
}

bool AviWriter::writeChunk(size_t stream, const uint8_t *data, size_t size, bool key, uint32_t length)
{
    if (!m_file || stream >= m_streams.size())
        return false;
    const std::string id = chunkId(stream);
    IndexEntry e;
    std::memcpy(e.id, id.data(), 4);
    e.flags = key ? 0x10 : 0;
    e.offset = uint32_t(tell() - m_moviStart);
    e.size = uint32_t(size);
    m_index.push_back(e);
    putId(id.c_str());
    put32(uint32_t(size));
    putBytes(data, size);
    if (size & 1)
        putBytes("", 1);
    m_lengths[stream] += length;
    return !m_failed;
}

bool AviWriter::writeRecord(size_t stream, uint32_t stampMs, const std::string &text)
{
    // Each telemetry stream opens with a text-stream header chunk ("GAB2"),
    // which players that take the stream for subtitles expect.
    if (stream < m_headerWritten.size() && !m_headerWritten[stream]) {
        m_headerWritten[stream] = true;
        const std::vector<uint8_t> header = TelemetryStreamHeader(m_streams[stream].name);
        writeChunk(stream, header.data(), header.size(), true, 0);
    }
    std::vector<uint8_t> chunk(4 + text.size());
    chunk[0] = uint8_t(stampMs);
    chunk[1] = uint8_t(stampMs >> 8);
    chunk[2] = uint8_t(stampMs >> 16);
    chunk[3] = uint8_t(stampMs >> 24);
    std::memcpy(chunk.data() + 4, text.data(), text.size());
    return writeChunk(stream, chunk.data(), chunk.size(), true);
}

bool AviWriter::close()
{
    if (!m_file)
        return false;
    patch32(m_moviSizeAt, uint32_t(tell() - m_moviSizeAt - 4));
    putId("idx1");
    put32(uint32_t(m_index.size() * 16));
    for (const IndexEntry &e : m_index) {
        putBytes(e.id, 4);
        put32(e.flags);
        put32(e.offset);
        put32(e.size);
    }
    patch32(m_riffSizeAt, uint32_t(tell() - 8));
    for (size_t i = 0; i < m_streams.size(); ++i)
        patch32(m_lengthAt[i], m_lengths[i]);
    for (size_t i = 0; i < m_streams.size(); ++i)
        if (m_streams[i].type == AviStream::Video) {
            patch32(m_totalFramesAt, m_lengths[i]);
            break;
        }
    const bool ok = !m_failed && std::fclose(m_file) == 0;
    m_file = nullptr;
    return ok;
}

} // namespace cardgen
