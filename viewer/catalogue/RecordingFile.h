#pragma once

#include "StreamRecordSource.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <cstdio>
#include <string>
#include <vector>

namespace drivora {

// One stream of a recording, as its headers describe it.
struct RecordingStream {
    std::string type;    // "vids", "auds", "txts"
    std::string handler; // codec of a video stream ("H264")
    uint32_t width = 0, height = 0;
    uint16_t formatTag = 0; // audio: 1 PCM, 0x00FF AAC
    uint32_t length = 0;    // frames, samples or records, as the header says
    uint32_t scale = 0, rate = 0; // rate / scale units a second (frames a second for video)
    std::string name;
};

// Reads a recording file (an AVI file, see docs/recording-format.md): its
// stream headers and the telemetry records of its telemetry stream. Reads
// never go past a chunk or the end of the file; damaged or truncated files
// give what can be read and then end.
class RecordingFile final : public IStreamRecordSource {
public:
    RecordingFile() = default;
    ~RecordingFile() override;
    RecordingFile(const RecordingFile &) = delete;
    RecordingFile &operator=(const RecordingFile &) = delete;

    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    QString errorString() const { return m_error; }

    const std::vector<RecordingStream> &streams() const { return m_streams; }
    int videoStreamCount() const;
    int audioStreamCount() const;
    // Number of telemetry records found.
    size_t recordCount() const { return m_records.size(); }

    int32_t SetParserFlag(uint32_t flag) override;
    int32_t GetNextRecord(uint8_t *buffer, uint32_t *size, uint32_t *stampMs) override;
    // Starts the records from the first again.
    void rewindRecords() { m_next = 0; }

    // Hands each chunk of the n-th video stream (0: the first) to `each`, in
    // file order, walking the data list itself (no index needed). False
    // when the stream is not there or `each` stops; `cut` tells whether the
    // file ends inside a chunk or before its data list does.
    bool readVideoChunks(int n, const std::function<bool(const uint8_t *, size_t)> &each, bool *cut = nullptr);

private:
    struct Location {
        uint64_t offset; // of the chunk's data
        uint32_t size;
    };
    bool fail(const QString &message);
    bool readAt(uint64_t offset, void *data, size_t size);
    bool parseHeaderList(uint64_t offset, uint32_t size);
    void readIndex(uint64_t offset, uint32_t size);
    void scanMovi();
    bool isTelemetryChunk(const char id[4]) const;

    std::FILE *m_file = nullptr;
    uint64_t m_fileSize = 0;
    uint64_t m_riffEnd = 0;
    uint64_t m_moviStart = 0, m_moviEnd = 0; // "movi" type .. end of the list
    int m_telemetryStream = -1;
    uint32_t m_parserFlag = 0;
    std::vector<RecordingStream> m_streams;
    std::vector<Location> m_records;
    size_t m_next = 0;
    QString m_error;
};

} // namespace drivora
