#include "Mp4Writer.h"

#include "AnnexB.h"
#include "Boxes.h"
#include "MovieBoxes.h"
#include "SampleEntry.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace clipmux {
namespace {

// Buffered output with the writer's own count of the file position.
class OutputFile final : public ByteSink {
public:
    ~OutputFile() override { close(); }

    bool open(const char *name)
    {
        m_file = std::fopen(name, "wb+");
        m_buffer.reserve(kBufferSize);
        return m_file != nullptr;
    }
    void put(const uint8_t *data, size_t size) override
    {
        m_position += size;
        if (m_buffer.size() + size > kBufferSize) {
            flush();
            if (size >= kBufferSize) { // large samples go straight to the file
                if (m_file && std::fwrite(data, 1, size, m_file) != size)
                    m_failed = true;
                return;
            }
        }
        m_buffer.insert(m_buffer.end(), data, data + size);
    }
    uint64_t written() const override { return m_position; }
    uint64_t tell() const { return m_position; }

    // Overwrites bytes already written, then returns to the end.
    void patch(uint64_t offset, const uint8_t *data, size_t size)
    {
        flush();
        if (!m_file || std::fseek(m_file, long(offset), SEEK_SET) != 0 || std::fwrite(data, 1, size, m_file) != size ||
            std::fseek(m_file, 0, SEEK_END) != 0)
            m_failed = true;
    }
    bool close()
    {
        if (!m_file)
            return !m_failed;
        flush();
        if (std::fclose(m_file) != 0)
            m_failed = true;
        m_file = nullptr;
        return !m_failed;
    }
    bool failed() const { return m_failed; }

private:
    static constexpr size_t kBufferSize = 1 << 20;
    void flush()
    {
        if (!m_buffer.empty() && m_file && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
            m_failed = true;
        m_buffer.clear();
    }

    std::FILE *m_file = nullptr;
    std::vector<uint8_t> m_buffer;
    uint64_t m_position = 0;
    bool m_failed = false;
};

// A growable table that remembers when it could not grow.
template <typename T> struct SampleTable {
    std::vector<T> entries;
    bool failed = false;
    void add(const T &value)
    {
        if (failed)
            return;
        try {
            entries.push_back(value);
        } catch (const std::bad_alloc &) {
            failed = true;
        }
    }
};

enum class State { Closed, WaitingForKeyFrame, Writing, Stopped };

bool isKeyFrame(StreamKind kind, const uint8_t *data, size_t size)
{
    switch (kind) {
    case StreamH264: { // an IDR slice (parameter sets may come first)
        bool idr = false;
        ForEachNalUnitWhile(data, size, [&idr](NalSpan nal) {
            idr = (nal.data[0] & 0x1F) == 5;
            return !idr;
        });
        return idr;
    }
    case StreamMp4v: // I-VOP: vop_coding_type 0 (headers may lead it)
        return VopCodingType(data, size) == 0;
    case StreamH263: // picture coding type INTRA
        return size >= 5 && (data[4] & 0x02) == 0;
    }
    return false;
}

} // namespace

struct Mp4Writer {
    std::mutex lock;
    State state = State::Closed;
    StreamKind kind = StreamH264;
    uint32_t timeScale = 1000;
    uint64_t sizeLimit = UINT32_MAX;
    uint32_t creationTime = 0;
    SampleEntry entry;
    OutputFile out;
    uint64_t mdatStart = 0;

    SampleTable<TimeToSample> timeToSample;
    SampleTable<uint32_t> syncSamples;
    SampleTable<uint32_t> sampleSizes;
    SampleTable<uint32_t> chunkOffsets;
    CompositionTimes composition;
    bool compositionFailed = false;
    uint64_t firstTimeStamp = 0; // of the first sample stored: its decoding time is 0
    std::atomic<int64_t> plainOrder{0}; // order of samples handed over without one
    uint32_t sampleCount = 0;
    uint32_t lastDuration = 0;

    struct {
        std::vector<uint8_t> bytes;
        uint64_t timeStamp = 0;
        PictureOrder order;
        bool key = false;
        bool present = false;
    } pending;

    bool tablesFailed() const
    {
        return timeToSample.failed || syncSamples.failed || sampleSizes.failed || chunkOffsets.failed ||
               compositionFailed;
    }

    // Stores the held-back unit with the given duration.
    int storePending(uint32_t duration)
    {
        if (tablesFailed()) {
            state = State::Stopped;
            return Mp4OutOfMemory;
        }
        const uint64_t offset = out.tell();
        if (offset + pending.bytes.size() > sizeLimit) {
            state = State::Stopped;
            return Mp4SizeLimit;
        }
        out.put(pending.bytes.data(), pending.bytes.size());
        chunkOffsets.add(uint32_t(offset)); // every sample is a chunk of its own
        sampleSizes.add(uint32_t(pending.bytes.size()));
        if (sampleCount == 0)
            firstTimeStamp = pending.timeStamp;
        try {
            composition.add(pending.timeStamp - firstTimeStamp, pending.order);
        } catch (const std::bad_alloc &) {
            compositionFailed = true;
        }
        if (duration != 0) {
            auto &runs = timeToSample.entries;
            if (!timeToSample.failed && !runs.empty() && runs.back().delta == duration)
                ++runs.back().count;
            else
                timeToSample.add({1, duration});
        }
        ++sampleCount;
        if (pending.key)
            syncSamples.add(sampleCount);
        lastDuration = duration;
        pending.present = false;
        return out.failed() ? Mp4WriteError : Mp4Ok;
    }

    void writeMoov(ByteSink &s)
    {
        // Tables that failed to grow hold fewer entries; only what every
        // table has is described.
        TrackDescription t;
        t.creationTime = creationTime;
        t.timeScale = timeScale;
        t.entry = &entry;
        t.timeToSample = &timeToSample.entries;
        t.syncSamples = &syncSamples.entries;
        t.sampleSizes = sampleSizes.entries.data();
        t.chunkOffsets = chunkOffsets.entries.data();
        t.sampleCount = std::min<uint32_t>(
            sampleCount, uint32_t(std::min(sampleSizes.entries.size(), chunkOffsets.entries.size())));
        std::vector<CompositionOffset> offsets;
        try {
            if (!compositionFailed)
                offsets = composition.finish(t.sampleCount, t.presentationStart);
        } catch (const std::bad_alloc &) {
            offsets.clear(); // shown in decoding order rather than not at all
            t.presentationStart = 0;
        }
        t.compositionOffsets = &offsets;
        WriteMoov(s, t);
    }
};

uint32_t Mp4TimeFromUnix(int64_t unixSeconds)
{
    constexpr int64_t kSeconds1904To1970 = 2082844800;
    if (unixSeconds < 365 * 86400) // 1970 or earlier
        return 0;
    return uint32_t(uint64_t(unixSeconds + kSeconds1904To1970));
}

Mp4Writer *Mp4FileOpenWr(const char *fileName, const Mp4WrConfig &config)
{
    if (!fileName || std::strlen(fileName) == 0 || std::strlen(fileName) >= 511)
        return nullptr;
    if (config.videoKind < StreamH264 || config.videoKind > StreamH263)
        return nullptr;
    if (config.videoTimeScale <= 0 || config.width < 1 || config.width > 65535 || config.height < 1 ||
        config.height > 65535 || config.decoderConfigSize < 0 ||
        (config.decoderConfigSize > 0 && !config.decoderConfig))
        return nullptr;

    auto *w = new (std::nothrow) Mp4Writer;
    if (!w)
        return nullptr;
    w->kind = StreamKind(config.videoKind);
    w->timeScale = uint32_t(config.videoTimeScale);
    w->sizeLimit = config.sizeLimit == 0 ? UINT32_MAX : config.sizeLimit;
    w->creationTime = Mp4TimeFromUnix(config.creationTime >= 0 ? config.creationTime : int64_t(std::time(nullptr)));
    w->entry.kind = w->kind;
    w->entry.width = uint16_t(config.width);
    w->entry.height = uint16_t(config.height);

    const uint8_t *cfg = config.decoderConfig;
    const size_t cfgSize = size_t(config.decoderConfigSize);
    if (w->kind == StreamH264) {
        size_t droppedSps = 0, droppedPps = 0, droppedLong = 0;
        ForEachNalUnit(cfg, cfgSize, [&](NalSpan nal) {
            const int type = nal.data[0] & 0x1F;
            if (type != 7 && type != 8)
                return;
            if (nal.size > 0xFFFF) {
                ++droppedLong;
                return;
            }
            auto &table = type == 7 ? w->entry.sps : w->entry.pps;
            if (table.size() >= (type == 7 ? kMaxSps : kMaxPps)) {
                ++(type == 7 ? droppedSps : droppedPps);
                return;
            }
            table.emplace_back(nal.data, nal.data + nal.size);
        });
        if (droppedSps)
            std::printf("warning: %zu SPS beyond the first %zu dropped\n", droppedSps, kMaxSps);
        if (droppedPps)
            std::printf("warning: %zu PPS beyond the first %zu dropped\n", droppedPps, kMaxPps);
        if (droppedLong)
            std::printf("warning: %zu parameter sets longer than 65535 bytes dropped\n", droppedLong);
    } else if (w->kind == StreamMp4v && cfgSize > 0) {
        w->entry.decoderSpecificInfo.assign(cfg, cfg + cfgSize);
    }

    if (!w->out.open(fileName)) {
        delete w;
        return nullptr;
    }
    WriteFtyp(w->out, config.mp4Brand);
    w->state = State::WaitingForKeyFrame;
    w->mdatStart = w->out.tell();
    w->out.u32(0); // size, patched at close
    w->out.fourcc("mdat");
    return w;
}

int Mp4FileWriteSample(Mp4Writer *w, const uint8_t *data, size_t size, uint64_t timeStamp)
{
    if (!w)
        return Mp4NoVideoTrack;
    return Mp4FileWriteSampleInOrder(w, data, size, timeStamp, {w->plainOrder++, false});
}

int Mp4FileWriteSampleInOrder(Mp4Writer *w, const uint8_t *data, size_t size, uint64_t timeStamp,
                              PictureOrder order)
{
    if (!w)
        return Mp4NoVideoTrack;
    std::lock_guard guard(w->lock);
    if (w->state == State::Closed || w->state == State::Stopped)
        return Mp4Ok;
    if (w->pending.present) {
        if (timeStamp <= w->pending.timeStamp)
            return Mp4TimeNotIncreasing;
        const uint64_t duration = timeStamp - w->pending.timeStamp;
        if (duration > UINT32_MAX)
            return Mp4TimeNotIncreasing;
        if (const int r = w->storePending(uint32_t(duration)); r != Mp4Ok)
            return r;
    }
    const bool key = isKeyFrame(w->kind, data, size);
    if (w->state == State::WaitingForKeyFrame) {
        if (!key)
            return Mp4Ok;
        w->state = State::Writing;
    }
    // Hold the unit back. H.264 samples carry a 4-byte length in place of
    // each start code; the other kinds are stored as read.
    try {
        if (w->kind == StreamH264)
            AnnexBToLengthPrefixed(data, size, w->pending.bytes);
        else
            w->pending.bytes.assign(data, data + size);
    } catch (const std::bad_alloc &) {
        w->state = State::Stopped;
        return Mp4OutOfMemory;
    }
    if (w->pending.bytes.size() > UINT32_MAX)
        return Mp4TooLarge;
    w->pending.timeStamp = timeStamp;
    w->pending.order = order;
    w->pending.key = key;
    w->pending.present = true;
    return Mp4Ok;
}

int Mp4FileWriteEnd(Mp4Writer *w, uint64_t endTimeStamp)
{
    if (!w)
        return Mp4NoVideoTrack;
    std::lock_guard guard(w->lock);
    if (w->state != State::Writing || !w->pending.present)
        return Mp4Ok;
    if (endTimeStamp <= w->pending.timeStamp || endTimeStamp - w->pending.timeStamp > UINT32_MAX)
        return Mp4TimeNotIncreasing;
    return w->storePending(uint32_t(endTimeStamp - w->pending.timeStamp));
}

int Mp4FileAddParameterSet(Mp4Writer *w, const uint8_t *data, size_t size)
{
    if (!w)
        return Mp4NoVideoTrack;
    std::lock_guard guard(w->lock);
    const NalSpan nal = FirstNalUnit(data, size);
    const int type = nal.size > 0 ? nal.data[0] & 0x1F : 0;
    if (w->kind != StreamH264 || (type != 7 && type != 8) || nal.size > 0xFFFF)
        return Mp4TooLarge;
    auto &table = type == 7 ? w->entry.sps : w->entry.pps;
    if (table.size() >= (type == 7 ? kMaxSps : kMaxPps))
        return Mp4TooLarge;
    try {
        table.emplace_back(nal.data, nal.data + nal.size);
    } catch (const std::bad_alloc &) {
        return Mp4OutOfMemory;
    }
    return Mp4Ok;
}

uint32_t Mp4FileSampleCount(const Mp4Writer *w)
{
    return w ? w->sampleCount : 0;
}

int Mp4FileCloseWr(Mp4Writer *w)
{
    if (!w)
        return Mp4Ok;
    int result = Mp4Ok;
    {
        std::lock_guard guard(w->lock);
        if (w->state == State::Writing && w->pending.present && w->sampleCount > 0)
            w->storePending(w->lastDuration);
        const uint64_t mdatEnd = w->out.tell();
        w->writeMoov(w->out);
        const uint64_t mdatSize = mdatEnd - w->mdatStart;
        const uint8_t size[4] = {uint8_t(mdatSize >> 24), uint8_t(mdatSize >> 16), uint8_t(mdatSize >> 8),
                                 uint8_t(mdatSize)};
        w->out.patch(w->mdatStart, size, 4);
        if (!w->out.close())
            result = Mp4WriteError;
        w->state = State::Closed;
    }
    delete w;
    return result;
}

} // namespace clipmux
