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

// Why a recording cannot be played, for the second line of the message that
// says so: the file is gone, it is no recording, its headers are damaged, or
// it holds neither a picture nor a sound in a coding the viewer plays.
enum class PlayProblem { FileGone, NotARecording, Damaged, NothingDecodable };
PlayProblem WhyNotPlayable(const QString &path);

// Reads a recording file (an AVI file, see docs/recording-format.md): its
// stream headers, the telemetry records of its telemetry stream, and the
// chunks of its video streams (VideoChunkWalk). Reads never go past a chunk
// or the end of the file; a damaged stretch in the media data is stepped
// over, and a truncated file gives what can be read and then ends.
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

    // The file offset of the next whole chunk after `from` in the data list,
    // where a stretch cannot be read as chunks: by the index when there is
    // one (the first entry after `from` whose chunk is there with its id and
    // size), else by the first chunk header that another one follows. 0 when
    // none is left. `lost` counts the chunks of stream number `stream` that
    // the index lists in the stretch; -1 when no index tells.
    uint64_t resynchronise(uint64_t from, int stream, int64_t *lost);

private:
    friend class VideoChunkWalk;
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
    // A chunk header at `at` of one of the streams (or a "LIST" or "JUNK"
    // chunk) whose size fits in the data list.
    bool plausibleHeader(const uint8_t header[8], uint64_t at) const;
    uint64_t resynchroniseByIndex(uint64_t from, int stream, int64_t *lost);
    uint64_t resynchroniseByScan(uint64_t from);

    std::FILE *m_file = nullptr;
    uint64_t m_fileSize = 0;
    uint64_t m_riffEnd = 0;
    uint64_t m_moviStart = 0, m_moviEnd = 0; // "movi" type .. end of the list
    uint64_t m_indexAt = 0;                  // data of a whole "idx1", or 0
    uint32_t m_indexSize = 0;
    int m_telemetryStream = -1;
    uint32_t m_parserFlag = 0;
    std::vector<RecordingStream> m_streams;
    std::vector<Location> m_records;
    size_t m_next = 0;
    QString m_error;
};

// A stretch of the data list that could not be read as chunks.
struct DamagedStretch {
    uint64_t from = 0, to = 0;  // file offsets: the first header that made no sense, the next whole chunk
    uint32_t firstPicture = 0;  // the place in the stream of the first picture it holds
    int64_t picturesLost = -1;  // the stream's chunks in it, as the index lists them; -1 without an index
};

// The chunks of the n-th video stream (0: the first) one at a time, in file
// order, walking the data list itself: one chunk is held in memory at a time,
// whatever the size of the recording. A stretch of damage in the middle is
// stepped over (see RecordingFile::resynchronise) and noted in damage().
class VideoChunkWalk {
public:
    VideoChunkWalk(RecordingFile &file, int n);
    // False when the file holds no such stream.
    bool valid() const { return m_stream >= 0; }
    // The next whole chunk's data; false at the end of the data list.
    bool next(std::vector<uint8_t> &data);
    // The place in the stream of the chunk last handed over (0: the first),
    // counting the chunks lost to damage where the index lists them.
    uint32_t picture() const { return m_picture; }
    // Chunks handed over so far.
    uint32_t handed() const { return m_handed; }
    const std::vector<DamagedStretch> &damage() const { return m_damage; }
    // The file ends inside a chunk, or before its data list does.
    bool cut() const { return m_cut; }

private:
    RecordingFile &m_file;
    int m_stream = -1;
    uint64_t m_at = 0;
    uint32_t m_picture = 0, m_nextPicture = 0, m_handed = 0;
    std::vector<DamagedStretch> m_damage;
    bool m_cut = false;
};

} // namespace drivora
