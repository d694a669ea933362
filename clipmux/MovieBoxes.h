// The boxes of the file around the samples: "ftyp" at the head, and the
// "moov" tree that describes the one video track. Each box is written by a
// function of its own, in field order, so that a test can write any one of
// them alone and compare its bytes.
#pragma once

#include "ByteSink.h"
#include "SampleEntry.h"

#include <cstdint>
#include <vector>

namespace clipmux {

// A run of samples of equal duration ("stts" entry).
struct TimeToSample {
    uint32_t count;
    uint32_t delta;
};

// A run of samples of equal composition offset ("ctts" entry): how long
// after its decoding time a sample is shown.
struct CompositionOffset {
    uint32_t count;
    uint32_t offset;
};

// What "moov" says about the track.
struct TrackDescription {
    uint32_t creationTime = 0; // seconds since 1904, also the modification time
    uint32_t timeScale = 1000; // media time units per second
    const SampleEntry *entry = nullptr;
    const std::vector<TimeToSample> *timeToSample = nullptr;
    const std::vector<uint32_t> *syncSamples = nullptr; // 1-based sample numbers
    const uint32_t *sampleSizes = nullptr;
    const uint32_t *chunkOffsets = nullptr; // one sample per chunk
    uint32_t sampleCount = 0;               // entries of sampleSizes and chunkOffsets
    // Samples shown in another order than stored: their offsets, and the
    // media time of the first picture shown (where the edit list starts).
    // Empty when every sample is shown at its decoding time.
    const std::vector<CompositionOffset> *compositionOffsets = nullptr;
    uint32_t presentationStart = 0;

    uint64_t mediaDuration() const; // in timeScale units
};

void WriteFtyp(ByteSink &s, bool mp4 = false); // mp4: ISO/AVC brands instead of 3GPP's
void WriteMoov(ByteSink &s, const TrackDescription &t);

void WriteMvhd(ByteSink &s, uint32_t creationTime, uint32_t durationMs);
void WriteTrak(ByteSink &s, const TrackDescription &t);
void WriteTkhd(ByteSink &s, uint32_t creationTime, uint32_t durationMs, uint16_t width, uint16_t height);
void WriteEdts(ByteSink &s, uint32_t durationMs, uint32_t mediaTime);
void WriteMdia(ByteSink &s, const TrackDescription &t);
void WriteMdhd(ByteSink &s, uint32_t creationTime, uint32_t timeScale, uint32_t duration);
void WriteHdlr(ByteSink &s);
void WriteMinf(ByteSink &s, const TrackDescription &t);
void WriteVmhd(ByteSink &s);
void WriteDinf(ByteSink &s);
void WriteStbl(ByteSink &s, const TrackDescription &t);
void WriteStsd(ByteSink &s, const SampleEntry &entry);
void WriteStts(ByteSink &s, const std::vector<TimeToSample> &runs);
void WriteCtts(ByteSink &s, const std::vector<CompositionOffset> &runs);
void WriteStss(ByteSink &s, const std::vector<uint32_t> &syncSamples);
void WriteStsc(ByteSink &s);
void WriteStsz(ByteSink &s, const uint32_t *sizes, uint32_t count);
void WriteStco(ByteSink &s, const uint32_t *offsets, uint32_t count);

} // namespace clipmux
