// The writer's configuration for an H.264 track, as the tests open it.
#pragma once

#include "Mp4Writer.h"
#include "SampleEntry.h"

#include <cstdint>
#include <vector>

namespace clipmux::test {

inline Mp4WrConfig H264WriterConfig(const std::vector<uint8_t> &decoderConfig, int width, int height)
{
    Mp4WrConfig cfg;
    cfg.videoKind = StreamH264;
    cfg.decoderConfig = decoderConfig.data();
    cfg.decoderConfigSize = int32_t(decoderConfig.size());
    cfg.width = width;
    cfg.height = height;
    return cfg;
}

} // namespace clipmux::test
