// Writes recordings in the camera's AVI layout (docs/recording-format.md):
// video, audio and telemetry chunks in "movi", an "idx1" index, and the
// header counts patched at close.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cardgen {

struct AviStream {
    enum Type { Video, Audio, Telemetry } type = Video;
    // Video
    uint32_t width = 0, height = 0, fps = 30;
    // Audio: a WAVEFORMATEX; scale/rate/sampleSize as in the stream header
    uint16_t formatTag = 0, channels = 0, bitsPerSample = 16, blockAlign = 0;
    uint32_t sampleRate = 0, avgBytesPerSec = 0;
    uint32_t scale = 1, rate = 1, sampleSize = 0;
    std::vector<uint8_t> extra; // codec data after WAVEFORMATEX (AAC: AudioSpecificConfig)
    std::string name;           // "strn"
};

// The first chunk of a telemetry stream.
std::vector<uint8_t> TelemetryStreamHeader(const std::string &name);

class AviWriter {
public:
    ~AviWriter();
    bool open(const std::string &path, const std::vector<AviStream> &streams);
    // One chunk of a stream. `length` is what the chunk adds to the stream
    // header's length (frames, or samples for PCM).
    bool writeChunk(size_t stream, const uint8_t *data, size_t size, bool key, uint32_t length = 1);
    // A telemetry record: its media time in milliseconds, then its text.
    bool writeRecord(size_t stream, uint32_t stampMs, const std::string &text);
    bool close();

private:
    struct IndexEntry {
        char id[4];
        uint32_t flags, offset, size;
    };
    void put32(uint32_t v);
    void put16(uint16_t v);
    void putId(const char *id);
    void putBytes(const void *d, size_t n);
    long tell() const;
    void patch32(long at, uint32_t v);
    std::string chunkId(size_t stream) const;

    std::FILE *m_file = nullptr;
    std::vector<AviStream> m_streams;
    std::vector<uint32_t> m_lengths;
    std::vector<long> m_lengthAt;
    std::vector<bool> m_headerWritten;
    std::vector<IndexEntry> m_index;
    long m_riffSizeAt = 0, m_moviSizeAt = 0, m_moviStart = 0, m_totalFramesAt = 0;
    bool m_failed = false;
};

} // namespace cardgen
