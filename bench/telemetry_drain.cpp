// Writes two 30-minute recordings with the same telemetry (18,000 G-sensor
// samples, 1,800 GPS fixes) and small or large video, then times opening
// each and draining its telemetry. Prints: kind, file bytes, records,
// milliseconds.
#include "cardgen/AviWriter.h"
#include "cardgen/Drive.h"
#include "cardgen/Recording.h"
#include "catalogue/Telemetry.h"
#include "catalogue/RecordingFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace drivora;

namespace {

bool writeRecording(const std::string &path, size_t frontBytes, size_t rearBytes)
{
    const cardgen::Drive drive;
    cardgen::Stretch stretch;
    stretch.seconds = 30 * 60;
    stretch.startUtc = 1710454500;
    const std::vector<cardgen::TelemetryRecord> records = drive.records(stretch);

    cardgen::AviStream front, rear, telemetry;
    front.type = rear.type = cardgen::AviStream::Video;
    front.width = 1920, front.height = 1080, rear.width = 1280, rear.height = 720;
    telemetry.type = cardgen::AviStream::Telemetry;
    telemetry.name = "telemetry";
    cardgen::AviWriter avi;
    if (!avi.open(path, {front, rear, telemetry}))
        return false;
    // One real picture, padded to the wanted size with a filler NAL unit, so
    // that other tools can read the file too.
    const std::vector<cardgen::AccessUnit> picture = cardgen::EncodeTestPicture("X", 64, 64, 30, 1, 100, "black");
    if (picture.empty())
        return false;
    auto padded = [&picture](size_t bytes) {
        std::vector<uint8_t> au = picture.front().bytes;
        if (au.size() + 6 < bytes) {
            au.insert(au.end(), {0, 0, 0, 1, 0x0C});
            au.resize(bytes - 1, 0xFF);
            au.push_back(0x80);
        }
        return au;
    };
    const std::vector<uint8_t> a = padded(frontBytes), b = padded(rearBytes);
    size_t next = 0;
    for (int frame = 0; frame < 30 * 60 * 30; ++frame) {
        const uint32_t ms = uint32_t(frame * 1000 / 30);
        while (next < records.size() && records[next].stampMs <= ms) {
            avi.writeRecord(2, records[next].stampMs, records[next].text);
            ++next;
        }
        avi.writeChunk(0, a.data(), a.size(), frame % 30 == 0);
        avi.writeChunk(1, b.data(), b.size(), frame % 30 == 0);
    }
    for (; next < records.size(); ++next)
        avi.writeRecord(2, records[next].stampMs, records[next].text);
    return avi.close();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    struct Kind {
        const char *name;
        size_t front, rear;
    } kinds[] = {{"small-video", 400, 300}, {"large-video", 8000, 3000}};
    for (const Kind &k : kinds) {
        const std::string path = std::string(argv[1]) + "/" + k.name + ".avi";
        if (!std::filesystem::exists(path) && !writeRecording(path, k.front, k.rear)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        struct Parser : IStreamParserFilter {
            RecordingFile file;
            IStreamRecordSource *QueryRecordSource() override { return &file; }
        };
        double best = 1e9;
        size_t records = 0;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            Parser parser;
            if (!parser.file.open(QString::fromStdString(path)))
                return 1;
            DrainTelemetry(&parser);
            best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
            records = GpsTrack().size() + GSensorTrack().size();
        }
        std::printf("%s %llu %zu %.2f\n", k.name, (unsigned long long)std::filesystem::file_size(path), records, best);
    }
    return 0;
}
