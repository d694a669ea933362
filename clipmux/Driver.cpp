#include "Driver.h"

#include "Mp4Writer.h"
#include "SampleEntry.h"
#include "StreamReaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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

// A file written beside its final name and renamed into place by commit();
// removed when not committed.
class AsideFile {
public:
    explicit AsideFile(const std::string &finalName) : m_final(finalName)
    {
        std::string pattern = finalName + ".partial-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            ::close(fd);
            m_aside = pattern;
        }
    }
    ~AsideFile()
    {
        if (!m_aside.empty())
            std::remove(m_aside.c_str());
    }
    AsideFile(const AsideFile &) = delete;
    AsideFile &operator=(const AsideFile &) = delete;

    const std::string &name() const { return m_aside; }
    bool commit()
    {
        // The data reaches the disk before the name points at it.
        const int fd = ::open(m_aside.c_str(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        ::chmod(m_aside.c_str(), 0666 & ~currentUmask());
        if (!synced || std::rename(m_aside.c_str(), m_final.c_str()) != 0)
            return false;
        m_aside.clear();
        return true;
    }

private:
    static mode_t currentUmask()
    {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }
    std::string m_final;
    std::string m_aside;
};

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
    // Beyond a file-size limit, writes fail and are reported, instead of the
    // run being killed with its file half written.
    std::signal(SIGXFSZ, SIG_IGN);
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
    H264ParameterSets parameterSets;
    if (kind == StreamH264) {
        configSize = ReadH264DecoderConfig(h264, unit, &parameterSets);
        status = h264.status();
    } else if (kind == StreamMp4v) {
        configSize = ReadMp4vDecoderConfig(in, unit, status);
    }
    if (status == ReadStatus::TooLarge) {
        std::printf("Error!, the stream's leading unit is larger than %zu bytes; no file written\n", kMaxAccessUnitSize);
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
    // The output is written aside and renamed into place only when whole: a
    // full disk or a stopped run never leaves a cut file, nor cuts an
    // earlier output of the same name.
    AsideFile aside(outputName);
    Mp4Writer *writer = aside.name().empty() ? nullptr : Mp4FileOpenWr(aside.name().c_str(), wr);
    if (!writer) {
        std::printf("Mp4FileOpenWr() failed: cannot create a file beside %s\n", outputName.c_str());
        return kFailure;
    }

    H264PictureOrder h264Order;
    Mp4vPictureOrder mp4vOrder;
    if (kind == StreamH264)
        h264Order.takeParameterSets(config.data(), config.size());

    int exitCode = 0;
    uint64_t t = 0;
    for (;;) {
        size_t size = 0;
        switch (kind) {
        case StreamH264:
            size = ReadH264OneAccessUnit(h264, unit, &parameterSets);
            status = h264.status();
            // Sets with new ids join the configuration; where it is full,
            // they go in band before the picture.
            for (const std::vector<uint8_t> &set : parameterSets.newSets)
                h264Order.takeParameterSets(set.data(), set.size());
            for (auto it = parameterSets.newSets.rbegin(); size > 0 && it != parameterSets.newSets.rend(); ++it)
                if (Mp4FileAddParameterSet(writer, it->data(), it->size()) != Mp4Ok) {
                    unit.insert(unit.begin(), it->begin(), it->end());
                    size = unit.size();
                }
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
        // Pictures may be shown in another order than decoded (B-frames):
        // the writer learns each one's place in showing order.
        PictureOrder order{int64_t(t / uint64_t(delta)), false};
        if (kind == StreamH264)
            order = h264Order.next(unit.data(), size);
        else if (kind == StreamMp4v)
            order = mp4vOrder.next(unit.data(), size);
        std::printf("%lu\n", static_cast<unsigned long>(size));
        const int r = Mp4FileWriteSampleInOrder(writer, unit.data(), size, t, order);
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
    const int readErrno = in.lastErrno();
    if (exitCode == 0 && status == ReadStatus::Ok) {
        const int r = Mp4FileWriteEnd(writer, t);
        if (r == Mp4SizeLimit) {
            std::printf("Error!, the file reached the largest size its 32-bit offsets allow; stopped after %u "
                        "samples\n",
                        Mp4FileSampleCount(writer));
            exitCode = kFailure;
        }
    }
    // An input that cannot be read whole gives no file: a clip cut short
    // without anyone noticing is worse than none.
    if (status == ReadStatus::TooLarge) {
        std::printf("Error!, an access unit is larger than %zu bytes; no file written\n", kMaxAccessUnitSize);
        Mp4FileCloseWr(writer);
        return kFailure;
    }
    if (status == ReadStatus::ReadError) {
        std::printf("Error!, reading %s failed: %s; no file written\n", inputName,
                    std::strerror(readErrno ? readErrno : EIO));
        Mp4FileCloseWr(writer);
        return kFailure;
    }
    input.reset();
    if (Mp4FileCloseWr(writer) != Mp4Ok || !aside.commit()) {
        std::printf("fail to write %s: %s\n", outputName.c_str(), std::strerror(errno ? errno : EIO));
        return kFailure;
    }
    std::printf("%s file created!!\n", outputName.c_str());
    return exitCode;
}

} // namespace clipmux
