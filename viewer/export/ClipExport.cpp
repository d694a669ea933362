#include "ClipExport.h"

#include "TelemetryExport.h"
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingFile.h"

#include "Mp4Writer.h"
#include "SampleEntry.h"
#include "StreamReaders.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>
#include <sys/stat.h>
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

} // namespace

ClipResult ExportClip(const QString &recording, int channel, const QString &output, ClipFormat format)
{
    using namespace clipmux;
    ClipResult result;
    RecordingFile file;
    if (!file.open(recording)) {
        result.message = QStringLiteral("%1: %2").arg(QFileInfo(recording).fileName(), file.errorString());
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

    // The channel's access units, one a chunk, as one H.264 stream.
    std::vector<uint8_t> stream;
    bool cut = false;
    size_t chunks = 0;
    file.readVideoChunks(channel, [&](const uint8_t *data, size_t size) {
        stream.insert(stream.end(), data, data + size);
        ++chunks;
        return true;
    }, &cut);
    if (chunks == 0) {
        result.message = QStringLiteral("the channel holds no pictures");
        return result;
    }
    if (cut)
        result.warnings << QStringLiteral("%1: the recording breaks off; the clip ends after %2 pictures")
                               .arg(QFileInfo(recording).fileName())
                               .arg(chunks);

    std::unique_ptr<std::FILE, FileCloser> in(fmemopen(stream.data(), stream.size(), "rb"));
    if (!in) {
        result.message = QStringLiteral("out of memory");
        return result;
    }
    ElementaryInput input(in.get());
    H264Reader reader(input);
    std::vector<uint8_t> unit;
    H264ParameterSets sets;
    const size_t configSize = ReadH264DecoderConfig(reader, unit, &sets);
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
    QTemporaryFile aside(output + QStringLiteral(".partial-XXXXXX"));
    if (!aside.open()) {
        result.message = QStringLiteral("cannot write %1: %2").arg(output, aside.errorString());
        return result;
    }
    aside.close();
    Mp4Writer *writer = Mp4FileOpenWr(QFile::encodeName(aside.fileName()).constData(), wr);
    if (!writer) {
        result.message = QStringLiteral("cannot write %1").arg(output);
        return result;
    }
    // Pictures stored in decoding order keep it; where they are shown in
    // another (B-frames), the clip says when each is shown.
    H264PictureOrder order;
    order.takeParameterSets(config.data(), config.size());
    uint64_t t = 0;
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
        const int r = Mp4FileWriteSampleInOrder(writer, unit.data(), size, t, order.next(unit.data(), size));
        if (r != Mp4Ok && r != Mp4TimeNotIncreasing) {
            failure = r;
            break;
        }
        t += scale;
    }
    if (failure == Mp4Ok)
        failure = Mp4FileWriteEnd(writer, t);
    result.frames = int(Mp4FileSampleCount(writer));
    const int closed = Mp4FileCloseWr(writer);
    if (failure != Mp4Ok || closed != Mp4Ok || reader.status() != ReadStatus::Ok) {
        result.message = failure == Mp4SizeLimit ? QStringLiteral("the clip would be larger than the file format allows")
                                                 : QStringLiteral("cannot write %1 (disk full?)").arg(output);
        return result; // the file aside goes with `aside`
    }
    QFile::remove(output);
    if (!QFile::rename(aside.fileName(), output)) {
        result.message = QStringLiteral("cannot write %1").arg(output);
        return result;
    }
    aside.setAutoRemove(false);
    // A temporary file is private; the clip is an ordinary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    QFile::setPermissions(output, QFileDevice::Permissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           ((mask & 040) ? 0 : QFileDevice::ReadGroup) |
                                                           ((mask & 020) ? 0 : QFileDevice::WriteGroup) |
                                                           ((mask & 004) ? 0 : QFileDevice::ReadOther) |
                                                           ((mask & 002) ? 0 : QFileDevice::WriteOther)));
    result.written = output;

    // The telemetry beside it.
    const QString gpx = QFileInfo(output).path() + QLatin1Char('/') + QFileInfo(output).completeBaseName() +
                        QStringLiteral(".gpx");
    const ExportResult g = ExportTelemetry({recording}, ExportKind::Gpx, gpx);
    if (g.ok)
        result.gpx = gpx;
    else
        result.warnings << QStringLiteral("no GPX beside the clip: %1").arg(g.message);
    result.ok = true;
    return result;
}

} // namespace drivora
