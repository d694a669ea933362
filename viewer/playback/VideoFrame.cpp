#include "VideoFrame.h"

#include <libyuv/convert_argb.h>
#include <libyuv/scale.h>

#include <vector>

namespace drivora {

struct VideoFrame::Data {
    Planes planes;
    std::function<void()> release;
    Data() = default;
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;
    ~Data()
    {
        if (release)
            release();
    }
};

VideoFrame::VideoFrame(const Planes &planes, std::function<void()> release) : m_data(std::make_shared<Data>())
{
    m_data->planes = planes;
    m_data->release = std::move(release); // runs once, when the last copy goes
}

QSize VideoFrame::size() const
{
    return m_data ? QSize(m_data->planes.width, m_data->planes.height) : QSize();
}

int64_t VideoFrame::endNs() const
{
    return m_data ? m_data->planes.endNs : -1;
}

int64_t VideoFrame::frameNs() const
{
    return m_data ? m_data->planes.frameNs : -1;
}

QImage VideoFrame::toImage() const
{
    return toImage(size());
}

QImage VideoFrame::toImage(QSize size) const
{
    if (!m_data || size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGB32);
    ConvertYuv420(m_data->planes, image);
    return image;
}

void ConvertYuv420(const VideoFrame::Planes &p, QImage &target)
{
    const int w = target.width(), h = target.height();
    if (w <= 0 || h <= 0 || p.width <= 0 || p.height <= 0 || !p.y || !p.u || !p.v)
        return;
    const libyuv::YuvConstants *matrix = p.bt709 ? (p.fullRange ? &libyuv::kYuvF709Constants : &libyuv::kYuvH709Constants)
                                                 : (p.fullRange ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants);
    const uint8_t *y = p.y, *u = p.u, *v = p.v;
    int strideY = p.strideY, strideU = p.strideU, strideV = p.strideV;
    std::vector<uint8_t> scaled;
    if (w != p.width || h != p.height) {
        // Stretch the planes to the target first: far fewer pixels to convert
        // when a large picture is shown in a smaller window.
        const int cw = (w + 1) / 2, ch = (h + 1) / 2;
        scaled.resize(size_t(w) * size_t(h) + 2 * size_t(cw) * size_t(ch));
        uint8_t *sy = scaled.data(), *su = sy + size_t(w) * size_t(h), *sv = su + size_t(cw) * size_t(ch);
        libyuv::I420Scale(p.y, p.strideY, p.u, p.strideU, p.v, p.strideV, p.width, p.height, sy, w, su, cw, sv, cw,
                          w, h, libyuv::kFilterBilinear);
        y = sy, u = su, v = sv;
        strideY = w, strideU = strideV = cw;
    }
    libyuv::I420ToARGBMatrix(y, strideY, u, strideU, v, strideV, target.bits(), int(target.bytesPerLine()), matrix,
                             w, h);
}

} // namespace drivora
