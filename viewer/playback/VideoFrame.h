#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>

namespace drivora {

// One decoded picture in planar YUV 4:2:0, as the decoder made it. It is
// turned into RGB only when shown, at the size it is shown at, or when
// grabbed, at its own size.
class VideoFrame {
public:
    struct Planes {
        const uint8_t *y = nullptr, *u = nullptr, *v = nullptr;
        int strideY = 0, strideU = 0, strideV = 0;
        int width = 0, height = 0;
        bool bt709 = false;    // colour matrix: BT.709, else BT.601
        bool fullRange = false; // 0-255, else 16-235
        // Where the picture ends in the recording (a seek into a picture
        // shows it from there on, so its start moves, its end does not),
        // and one picture's time; -1: unknown.
        int64_t endNs = -1;
        int64_t frameNs = -1;
    };

    VideoFrame() = default;
    // `release` runs when the last copy of the frame is gone.
    VideoFrame(const Planes &planes, std::function<void()> release);

    bool isNull() const { return !m_data; }
    QSize size() const;
    int64_t endNs() const;
    int64_t frameNs() const;
    // The picture in RGB at its own size, or stretched to `size`.
    QImage toImage() const;
    QImage toImage(QSize size) const;

private:
    struct Data;
    std::shared_ptr<Data> m_data;
};

// Converts a 4:2:0 picture to RGB32, stretched to the target size. Exposed
// for tests.
void ConvertYuv420(const VideoFrame::Planes &planes, QImage &target);

} // namespace drivora
