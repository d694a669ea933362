// libFuzzer target: arbitrary bytes as a recording file, read through the
// stream parser's record interface into the telemetry tracks.
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
    }
    return 0;
}
