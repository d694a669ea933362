#include "ClipExport.h"

#include "OutputFile.h"
#include "TelemetryExport.h"
#include "catalogue/NativePath.h"
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingFile.h"

#include "Mp4Writer.h"
#include "SampleEntry.h"
#include "StreamReaders.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>

namespace drivora {

ClipFormat ClipFormatFor(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".3gp"), Qt::CaseInsensitive) ? ClipFormat::ThreeGp : ClipFormat::Mp4;
}

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const
    {
        if (f)
            std::fclose(f);
    }
};

// A channel's chunks as one H.264 byte stream for the stream reader, read
// from the recording a chunk at a time, with the place in the recording of
// each chunk handed over (one access unit a chunk).
struct ChunkStream {
    VideoChunkWalk walk;
    std::vector<uint8_t> chunk;
    size_t pos = 0;
    std::deque<uint32_t> pictures;

    static ssize_t read(void *cookie, char *buffer, size_t size)
    {
        auto *s = static_cast<ChunkStream *>(cookie);
        size_t done = 0;
        while (done < size) {
            if (s->pos == s->chunk.size()) {
                if (!s->walk.next(s->chunk))
                    break;
                s->pos = 0;
                s->pictures.push_back(s->walk.picture());
            }
            const size_t n = std::min(size - done, s->chunk.size() - s->pos);
            std::memcpy(buffer + done, s->chunk.data() + s->pos, n);
            s->pos += n;
            done += n;
        }
        return ssize_t(done);
    }
};

QString MediaTime(uint64_t ms)
{
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60000)
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

QString ClipNames::take(const QString &wanted)
{
    const QFileInfo info(wanted);
    const QString folder = info.path() + QLatin1Char('/');
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    // The name without its suffix stands for the clip and its GPX alike; case
    // is ignored, as on the FAT cards and sticks clips are often written to.
    for (int n = 1;; ++n) {
        const QString stem = n == 1 ? base : base + QLatin1Char('-') + QString::number(n);
        const QString key = (folder + stem).toCaseFolded();
        if (m_taken.contains(key))
            continue;
        m_taken.insert(key);
        return folder + stem + suffix;
    }
}

QString ClipGpxPath(const QString &clip)
{
    const QFileInfo info(clip);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".gpx");
}

ClipResult ExportClip(const QString &recording, int channel, const QString &output, ClipFormat format)
{
    using namespace clipmux;
    ClipResult result;
    const QString name = DisplayPath(QFileInfo(recording).fileName());
    const QString gpx = ClipGpxPath(output);
    for (const QString &target : {output, gpx})
        if (const QString refusal = OutputRefusal(target); !refusal.isEmpty()) {
            result.message = refusal;
            return result;
        }
    RecordingFile file;
    if (!file.open(recording)) {
        result.message = QStringLiteral("%1: %2").arg(name, file.errorString());
        return result;
    }
    const RecordingStream *video = nullptr;
    for (int i = 0, seen = 0; i < int(file.streams().size()); ++i)
        if (file.streams()[size_t(i)].type == "vids" && seen++ == channel)
            video = &file.streams()[size_t(i)];
    if (!video) {
        result.message = channel == 0 ? QStringLiteral("the recording has no front channel")
                                      : QStringLiteral("the recording has no rear channel");
        return result;
    }
    if (video->handler != "H264" && video->handler != "h264" && video->handler != "avc1") {
        result.message = QStringLiteral("the channel is not H.264 (%1)").arg(QString::fromStdString(video->handler));
        return result;
    }
    const uint32_t rate = video->rate ? video->rate : 30, scale = video->scale ? video->scale : 1;
    auto msOf = [rate, scale](uint64_t picture) { return picture * scale * 1000 / rate; };

    // The channel's access units, one a chunk, read as one H.264 stream a
    // chunk at a time: memory stays the same whatever the recording's size.
    ChunkStream chunks{VideoChunkWalk(file, channel), {}, 0, {}};
    cookie_io_functions_t io{};
    io.read = &ChunkStream::read;
    std::unique_ptr<std::FILE, FileCloser> in(fopencookie(&chunks, "rb", io));
    if (!in) {
        result.message = QStringLiteral("out of memory");
        return result;
    }
    ElementaryInput input(in.get());
    H264Reader reader(input);
    std::vector<uint8_t> unit;
    H264ParameterSets sets;
    const size_t configSize = ReadH264DecoderConfig(reader, unit, &sets);
    if (chunks.walk.handed() == 0) {
        result.message = QStringLiteral("the channel holds no pictures");
        return result;
    }
    const std::vector<uint8_t> config(unit.begin(), unit.begin() + long(configSize));

    Mp4WrConfig wr;
    wr.videoKind = StreamH264;
    wr.videoTimeScale = int32_t(rate);
    wr.decoderConfigSize = int32_t(config.size());
    wr.decoderConfig = config.empty() ? nullptr : config.data();
    wr.width = int32_t(video->width);
    wr.height = int32_t(video->height);
    wr.mp4Brand = format == ClipFormat::Mp4;
    CalendarTime start;
    ParseNameStartTime(QFileInfo(recording).fileName(), start);
    if (start.year > 0)
        wr.creationTime = QDateTime(QDate(start.year, start.month, start.day), QTime(start.hour, start.minute, start.second))
                              .toSecsSinceEpoch();

    // Written aside, renamed over the output only when whole.
    AsideFile aside(output);
    QString why;
    if (!aside.open(&why)) {
        result.message = QStringLiteral("cannot write %1: %2").arg(DisplayPath(output), why);
        return result;
    }
    Mp4Writer *writer = Mp4FileOpenWr(aside.nativeAsidePath().constData(), wr);
    if (!writer) {
        result.message = QStringLiteral("cannot write %1").arg(DisplayPath(output));
        return result;
    }
    // Pictures stored in decoding order keep it; where they are shown in
    // another (B-frames), the clip says when each is shown. Each picture
    // keeps its time in the recording, also after a damaged stretch.
    H264PictureOrder order;
    order.takeParameterSets(config.data(), config.size());
    uint64_t next = 0; // the place of the next picture
    int failure = Mp4Ok;
    for (;;) {
        size_t size = ReadH264OneAccessUnit(reader, unit, &sets);
        for (const std::vector<uint8_t> &set : sets.newSets)
            order.takeParameterSets(set.data(), set.size());
        for (auto it = sets.newSets.rbegin(); size > 0 && it != sets.newSets.rend(); ++it)
            if (Mp4FileAddParameterSet(writer, it->data(), it->size()) != Mp4Ok) {
                unit.insert(unit.begin(), it->begin(), it->end());
                size = unit.size();
            }
        if (size == 0)
            break;
        uint64_t picture = next;
        if (!chunks.pictures.empty()) {
            picture = std::max<uint64_t>(next, chunks.pictures.front());
            chunks.pictures.pop_front();
        }
        next = picture + 1;
        const int r = Mp4FileWriteSampleInOrder(writer, unit.data(), size, picture * scale, order.next(unit.data(), size));
        if (r != Mp4Ok && r != Mp4TimeNotIncreasing) {
            failure = r;
            break;
        }
    }
    if (failure == Mp4Ok)
        failure = Mp4FileWriteEnd(writer, next * scale);
    result.frames = int(Mp4FileSampleCount(writer));
    const int closed = Mp4FileCloseWr(writer);
    const bool whole = failure == Mp4Ok && closed == Mp4Ok && reader.status() == ReadStatus::Ok;
    if (!whole || !aside.commit(&why)) {
        result.message = failure == Mp4SizeLimit ? QStringLiteral("the clip would be larger than the file format allows")
                         : whole ? QStringLiteral("cannot write %1: %2").arg(DisplayPath(output), why)
                                 : QStringLiteral("cannot write %1 (disk full?)").arg(DisplayPath(output));
        return result; // the file aside goes with `aside`
    }
    result.written = output;

    for (const DamagedStretch &d : chunks.walk.damage()) {
        if (d.picturesLost >= 0)
            result.warnings << QStringLiteral("%1: damaged media data at %2; %3 pictures left out, the clip goes on at %4")
                                   .arg(name, MediaTime(msOf(d.firstPicture)))
                                   .arg(d.picturesLost)
                                   .arg(MediaTime(msOf(d.firstPicture + uint64_t(d.picturesLost))));
        else
            result.warnings << QStringLiteral("%1: damaged media data after %2; the clip goes on with the next whole picture")
                                   .arg(name, MediaTime(msOf(d.firstPicture)));
    }
    if (chunks.walk.cut())
        result.warnings << QStringLiteral("%1: the recording breaks off at %2; the clip ends after %3 pictures")
                               .arg(name, MediaTime(msOf(next)))
                               .arg(result.frames);

    // The telemetry beside it.
    const ExportResult g = ExportTelemetry({recording}, ExportKind::Gpx, gpx);
    if (g.ok)
        result.gpx = gpx;
    else
        result.warnings << QStringLiteral("no GPX beside the clip: %1").arg(g.message);
    result.ok = true;
    return result;
}

} // namespace drivora
