// libFuzzer target: arbitrary bytes as a recording file, read through the
// stream parser's record interface into the telemetry tracks, and walked
// chunk by chunk as the clip export reads it.
#include "catalogue/Telemetry.h"
#include "catalogue/RecordingFile.h"

#include <QString>

#include <cstdio>
#include <string>
#include <unistd.h>

using namespace drivora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = "/tmp/recording-fuzz-" + std::to_string(::getpid()) + ".avi";
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    struct Parser : IStreamParserFilter {
        RecordingFile file;
        IStreamRecordSource *QueryRecordSource() override { return &file; }
    } parser;
    if (parser.file.open(QString::fromStdString(path))) {
        (void)parser.file.streams();
        DrainTelemetry(&parser);
        double speed;
        float a, b, c;
        for (uint32_t t : {0u, 500u, 100000u}) {
            GetSpeedAt(t, speed);
            GetAccelAt(t, a, b, c);
            GetPositionAt(t, a, b);
        }
        // The clip export's walk over each video stream's chunks, damage and all.
        for (int n = 0; n < parser.file.videoStreamCount(); ++n) {
            VideoChunkWalk walk(parser.file, n);
            std::vector<uint8_t> chunk;
            while (walk.next(chunk))
                ;
        }
    }
    return 0;
}
