// The one entry of the video track's sample description: "avc1" with "avcC"
// and "btrt", "mp4v" with "esds", or "s263" with "d263".
#pragma once

#include "ByteSink.h"

#include <cstdint>
#include <vector>

namespace clipmux {

enum StreamKind : int32_t { StreamH264 = 1, StreamMp4v = 2, StreamH263 = 3 };

inline constexpr uint32_t kAverageBitRate = 384000;

struct SampleEntry {
    StreamKind kind = StreamH264;
    uint16_t width = 0;
    uint16_t height = 0;
    // H.264: parameter sets without start codes, in stream order.
    std::vector<std::vector<uint8_t>> sps;
    std::vector<std::vector<uint8_t>> pps;
    // MPEG-4 visual: the headers before the first VOP, start codes included.
    std::vector<uint8_t> decoderSpecificInfo;
};

// Writes the entry (header included) into the sink.
void WriteSampleEntry(ByteSink &sink, const SampleEntry &entry);

// The four-byte form of a descriptor length: three bytes 0x80 | 7 bits, then
// the lowest 7 bits.
void WriteDescriptorLength(ByteSink &sink, uint32_t length);

} // namespace clipmux
