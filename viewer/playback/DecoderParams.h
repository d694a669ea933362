#pragma once

#include <cstdint>

namespace drivora {

// Parameters of a video decoder instance.
inline constexpr int32_t kParamBrightnessEnable = 205;
inline constexpr int32_t kParamBrightness = 202; // -254..254, 0 neutral
inline constexpr int32_t kParamMirrorEnable = 1101;
inline constexpr int32_t kParamMirror = 1113; // 1 mirrored left to right, 0 not

class IDecoderParams {
public:
    virtual ~IDecoderParams() = default;
    virtual int32_t SetParam(int32_t id, int32_t value) = 0;
};

} // namespace drivora
