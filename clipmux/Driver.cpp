#include "Driver.h"

#include "Mp4Writer.h"
#include "SampleEntry.h"
#include "StreamReaders.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace clipmux {
namespace {

constexpr int kFailure = -1;
constexpr size_t kOutputNameBuffer = 256;

// Output name: the input path up to its last "." (anywhere in the path), or
// the whole path when that leaves nothing, followed by ".3gp".
std::string OutputNameFor(const std::string &input)
{
    const size_t dot = input.rfind('.');
    std::string stem = dot == std::string::npos ? std::string() : input.substr(0, dot);
    if (stem.empty())
        stem = input;
    return stem + ".3gp";
}

StreamKind KindFor(const std::string &input)
{
    if (input.size() >= 4) {
        const std::string ext = input.substr(input.size() - 4);
        if (ext == ".264")
            return StreamH264;
        if (ext == ".263")
            return StreamH263;
    }
    return StreamMp4v;
}

// A decimal argument within [low, high]; false for anything else.
bool ParseNumber(const char *text, long low, long high, long &value)
{
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool SameFile(const char *a, const char *b)
{
    struct stat sa {}, sb {};
    return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

struct FileCloser {
    void operator()(std::FILE *f) const
    {
        if (f)
            std::fclose(f);
    }
};

} // namespace

int RunClipmux(int argc, char **argv)
{
    std::printf("clipmux: raw H.264 / H.263 / MPEG-4 visual to 3gp file converter\n");
    if (argc != 5) {
        std::printf("Usage: %s [input] [width] [height] [delta]\n", argc > 0 ? argv[0] : "clipmux");
        std::printf("ex) clipmux bitstream.mpg 640 480 100\n");
        return kFailure;
    }
    const char *inputName = argv[1];
    std::unique_ptr<std::FILE, FileCloser> input(std::fopen(inputName, "rb"));
    if (!input) {
        std::printf("fail to open %s\n", inputName);
        return kFailure;
    }
    const StreamKind kind = KindFor(inputName);

    long width = 0, height = 0, delta = 0;
    if (!ParseNumber(argv[2], 1, 65535, width) || !ParseNumber(argv[3], 1, 65535, height)) {
        std::printf("width and height must be whole numbers from 1 to 65535 (got %s x %s)\n", argv[2], argv[3]);
        return kFailure;
    }
    if (!ParseNumber(argv[4], 1, INT32_MAX, delta)) {
        std::printf("delta must be a whole number of milliseconds above 0 (got %s)\n", argv[4]);
        return kFailure;
    }

    const std::string outputName = OutputNameFor(inputName);
    if (outputName.size() >= kOutputNameBuffer) {
        std::printf("output name too long (%zu characters, at most %zu): %s\n", outputName.size(),
                    kOutputNameBuffer - 1, outputName.c_str());
        return kFailure;
    }
    if (SameFile(inputName, outputName.c_str())) {
        std::printf("output %s would overwrite the input\n", outputName.c_str());
        return kFailure;
    }

    ElementaryInput in(input.get());
    H264Reader h264(in);
    std::vector<uint8_t> unit;
    unit.reserve(153600);
    ReadStatus status = ReadStatus::Ok;

    // Decoder configuration.
    size_t configSize = 0;
    if (kind == StreamH264) {
        configSize = ReadH264DecoderConfig(h264, unit);
        status = h264.status();
    } else if (kind == StreamMp4v) {
        configSize = ReadMp4vDecoderConfig(in, unit, status);
    }
    if (status == ReadStatus::TooLarge) {
        std::printf("Error!, decoder configuration is larger than %zu bytes\n", kMaxAccessUnitSize);
        return kFailure;
    }
    std::vector<uint8_t> config;
    if (configSize > 0) {
        try {
            config.assign(unit.begin(), unit.begin() + long(configSize));
        } catch (const std::bad_alloc &) {
            std::printf("fail to allocate memory!\n");
            return kFailure;
        }
    }

    Mp4WrConfig wr;
    wr.videoKind = kind;
    wr.videoTimeScale = 1000;
    wr.decoderConfigSize = int32_t(config.size());
    wr.decoderConfig = config.empty() ? nullptr : config.data();
    wr.width = int32_t(width);
    wr.height = int32_t(height);
    Mp4Writer *writer = Mp4FileOpenWr(outputName.c_str(), wr);
    if (!writer) {
        std::printf("Mp4FileOpenWr() failed\n");
        return kFailure;
    }

    int exitCode = 0;
    uint64_t t = 0;
    for (;;) {
        size_t size = 0;
        switch (kind) {
        case StreamH264:
            size = ReadH264OneAccessUnit(h264, unit);
            status = h264.status();
            break;
        case StreamMp4v:
            size = ReadMp4vOneAccessUnit(in, unit, status);
            break;
        case StreamH263:
            size = ReadH263OneAccessUnit(in, unit, status);
            break;
        }
        if (size == 0)
            break;
        if (kind == StreamH264 && HasBSlice(unit)) {
            std::printf("B slices are not supported: encode the stream without B-frames (for example "
                        "x264 --bframes 0 or ffmpeg -bf 0)\n");
            Mp4FileCloseWr(writer);
            std::remove(outputName.c_str());
            return kFailure;
        }
        std::printf("%lu\n", static_cast<unsigned long>(size));
        const int r = Mp4FileWriteSample(writer, unit.data(), size, t);
        if (r == Mp4SizeLimit) {
            std::printf("Error!, the file reached the largest size its 32-bit offsets allow; stopped after %u "
                        "samples\n",
                        Mp4FileSampleCount(writer));
            exitCode = kFailure;
            break;
        }
        if (r == Mp4OutOfMemory) {
            std::printf("fail to allocate memory!\n");
            exitCode = kFailure;
            break;
        }
        if (r == Mp4WriteError)
            break; // reported at close
        t += uint64_t(delta);
    }
    if (exitCode == 0) {
        const int r = Mp4FileWriteEnd(writer, t);
        if (r == Mp4SizeLimit) {
            std::printf("Error!, the file reached the largest size its 32-bit offsets allow; stopped after %u "
                        "samples\n",
                        Mp4FileSampleCount(writer));
            exitCode = kFailure;
        }
    }
    if (status == ReadStatus::TooLarge) {
        std::printf("Error!, an access unit is larger than %zu bytes; stopped after %u samples\n",
                    kMaxAccessUnitSize, Mp4FileSampleCount(writer));
        exitCode = kFailure;
    } else if (status == ReadStatus::ReadError) {
        std::printf("Error!, reading %s failed; stopped after %u samples\n", inputName, Mp4FileSampleCount(writer));
        exitCode = kFailure;
    }
    input.reset();
    if (Mp4FileCloseWr(writer) != Mp4Ok) {
        std::printf("fail to write %s\n", outputName.c_str());
        return kFailure;
    }
    std::printf("%s file created!!\n", outputName.c_str());
    return exitCode;
}

} // namespace clipmux
