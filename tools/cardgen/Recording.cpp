#include "Recording.h"

#include "AviWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace cardgen {
namespace {

std::vector<uint8_t> readFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::string tempPath(const std::string &name)
{
    static int counter = 0;
    return (std::filesystem::temp_directory_path() /
            ("cardgen-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "-" + name))
        .string();
}

bool run(const std::string &command)
{
    const int status = std::system((command + " > /dev/null 2>&1").c_str());
    if (status != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return status == 0;
}

// Cuts a byte stream whose access units each begin with a delimiter NAL unit.
std::vector<AccessUnit> splitAtDelimiters(const std::vector<uint8_t> &s)
{
    std::vector<AccessUnit> units;
    size_t begin = 0;
    auto nalType = [&](size_t codeEnd) { return codeEnd < s.size() ? s[codeEnd] & 0x1F : 0; };
    for (size_t i = 0; i + 3 < s.size(); ++i) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
            const size_t start = (i > 0 && s[i - 1] == 0) ? i - 1 : i;
            if (nalType(i + 3) == 9 && start > begin) {
                units.push_back({std::vector<uint8_t>(s.begin() + long(begin), s.begin() + long(start)), false});
                begin = start;
            }
        }
    }
    if (begin < s.size())
        units.push_back({std::vector<uint8_t>(s.begin() + long(begin), s.end()), false});
    for (AccessUnit &u : units)
        for (size_t i = 0; i + 3 < u.bytes.size(); ++i)
            if (u.bytes[i] == 0 && u.bytes[i + 1] == 0 && u.bytes[i + 2] == 1 && (u.bytes[i + 3] & 0x1F) == 5)
                u.key = true;
    return units;
}

struct AacStream {
    std::vector<std::vector<uint8_t>> frames; // raw, without ADTS headers
    std::vector<uint8_t> config;              // AudioSpecificConfig
};

AacStream encodeAac(int rate, int channels, int frames)
{
    AacStream out;
    const std::string file = tempPath("sound.aac");
    const std::string cmd = "gst-launch-1.0 -q audiotestsrc wave=sine freq=440 volume=0.08 num-buffers=" +
                            std::to_string(frames) + " samplesperbuffer=1024 ! audio/x-raw,rate=" +
                            std::to_string(rate) + ",channels=" + std::to_string(channels) +
                            " ! avenc_aac ! aacparse ! audio/mpeg,stream-format=adts ! filesink location=" + file;
    if (!run(cmd))
        return out;
    const std::vector<uint8_t> s = readFile(file);
    std::filesystem::remove(file);
    size_t at = 0;
    while (at + 7 <= s.size() && s[at] == 0xFF && (s[at + 1] & 0xF0) == 0xF0) {
        const bool crc = (s[at + 1] & 1) == 0;
        const size_t length = (size_t(s[at + 3] & 3) << 11) | (size_t(s[at + 4]) << 3) | (s[at + 5] >> 5);
        const size_t header = crc ? 9 : 7;
        if (length < header || at + length > s.size())
            break;
        if (out.config.empty()) {
            const int objectType = ((s[at + 2] >> 6) & 3) + 1;
            const int frequency = (s[at + 2] >> 2) & 0xF;
            const int channelConfig = ((s[at + 2] & 1) << 2) | (s[at + 3] >> 6);
            const uint16_t asc = uint16_t(objectType << 11 | frequency << 7 | channelConfig << 3);
            out.config = {uint8_t(asc >> 8), uint8_t(asc)};
        }
        out.frames.emplace_back(s.begin() + long(at + header), s.begin() + long(at + length));
        at += length;
    }
    return out;
}

} // namespace

std::vector<AccessUnit> EncodeTestPicture(const std::string &label, int width, int height, int fps, int frames,
                                          int kbps, const char *pattern, int bFrames)
{
    const std::string file = tempPath("video.264");
    const int font = 16; // the overlay scales it with the picture width
    const std::string cmd =
        "gst-launch-1.0 -q videotestsrc pattern=" + std::string(pattern) + " num-buffers=" + std::to_string(frames) +
        " ! video/x-raw,format=I420,width=" + std::to_string(width) + ",height=" + std::to_string(height) +
        ",framerate=" + std::to_string(fps) + "/1 ! textoverlay text=\"" + label +
        "\" valignment=top halignment=left shaded-background=true font-desc=\"Sans Bold " + std::to_string(font) +
        "\" ! timeoverlay valignment=bottom halignment=right shaded-background=true font-desc=\"Sans " +
        std::to_string(font) + "\" ! x264enc speed-preset=ultrafast bframes=" + std::to_string(bFrames) +
        " key-int-max=" + std::to_string(fps) +
        " aud=true bitrate=" + std::to_string(kbps) +
        " ! video/x-h264,stream-format=byte-stream,alignment=au ! filesink location=" + file;
    if (!run(cmd))
        return {};
    const std::vector<uint8_t> stream = readFile(file);
    std::filesystem::remove(file);
    return splitAtDelimiters(stream);
}

bool WriteRecording(const std::string &path, const RecordingPlan &plan, const Drive &drive,
                    std::vector<TelemetryRecord> *written)
{
    const int frames = plan.stretch.seconds * plan.fps;
    const std::string base = std::filesystem::path(plan.fileName).stem().string();

    struct Timed {
        double ms;
        size_t stream;
        const std::vector<uint8_t> *bytes;
        bool key;
        uint32_t length;
        const TelemetryRecord *record;
    };
    std::vector<Timed> chunks;
    std::vector<AviStream> streams;
    std::vector<std::vector<AccessUnit>> video;

    struct Channel {
        const char *label;
        int w, h;
        const char *pattern;
    };
    std::vector<Channel> channels = {{"FRONT", plan.width, plan.height, "smpte"}};
    if (plan.rearWidth > 0)
        channels.push_back({"REAR", plan.rearWidth, plan.rearHeight, "ball"});
    for (int i = 0; i < plan.extraVideoStreams; ++i)
        channels.push_back({"EXTRA", plan.rearWidth > 0 ? plan.rearWidth : 320, plan.rearHeight > 0 ? plan.rearHeight : 180,
                            "snow"});
    for (const Channel &c : channels) {
        video.push_back(EncodeTestPicture(std::string(c.label) + "  " + base, c.w, c.h, plan.fps, frames,
                                          c.label[0] == 'F' ? plan.videoKbps : plan.videoKbps / 3, c.pattern,
                                          plan.bFrames));
        if (video.back().empty())
            return false;
        AviStream s;
        s.type = AviStream::Video;
        s.width = uint32_t(c.w);
        s.height = uint32_t(c.h);
        s.fps = uint32_t(plan.fps);
        s.name = c.label[0] == 'F' ? "front" : c.label[0] == 'R' ? "rear" : "extra";
        streams.push_back(s);
    }
    for (size_t v = 0; v < video.size(); ++v)
        for (size_t i = 0; i < video[v].size(); ++i)
            chunks.push_back({i * 1000.0 / plan.fps, v, &video[v][i].bytes, video[v][i].key, 1, nullptr});

    AacStream aac;
    std::vector<std::vector<uint8_t>> pcm;
    const int rate = plan.sound == Sound::Pcm ? 16000 : 48000;
    if (plan.sound != Sound::None) {
        AviStream s;
        s.type = AviStream::Audio;
        s.channels = 1;
        s.sampleRate = uint32_t(rate);
        s.name = "sound";
        const size_t stream = streams.size();
        if (plan.sound == Sound::Aac) {
            aac = encodeAac(rate, 1, plan.stretch.seconds * rate / 1024 + 1);
            if (aac.frames.empty())
                return false;
            s.formatTag = 0x00FF; // AAC, raw frames
            s.bitsPerSample = 16;
            s.blockAlign = 1024;
            s.avgBytesPerSec = 16000;
            s.scale = 1024;
            s.rate = uint32_t(rate);
            s.sampleSize = 0;
            s.extra = aac.config;
            for (size_t i = 0; i < aac.frames.size(); ++i)
                chunks.push_back({i * 1024 * 1000.0 / rate, stream, &aac.frames[i], true, 1, nullptr});
        } else {
            s.formatTag = 1; // PCM, 16 bits
            s.bitsPerSample = 16;
            s.blockAlign = 2;
            s.avgBytesPerSec = uint32_t(rate * 2);
            s.scale = 2;
            s.rate = uint32_t(rate * 2);
            s.sampleSize = 2;
            // A quiet 440 Hz tone in blocks of a tenth of a second.
            const int block = rate / 10;
            for (int b = 0; b < plan.stretch.seconds * 10; ++b) {
                std::vector<uint8_t> data(size_t(block) * 2);
                for (int i = 0; i < block; ++i) {
                    const double t = double(b * block + i) / rate;
                    const int16_t v = int16_t(2500 * std::sin(2 * 3.14159265358979 * 440 * t));
                    data[size_t(i) * 2] = uint8_t(v);
                    data[size_t(i) * 2 + 1] = uint8_t(uint16_t(v) >> 8);
                }
                pcm.push_back(std::move(data));
            }
            for (size_t i = 0; i < pcm.size(); ++i)
                chunks.push_back({i * 100.0, stream, &pcm[i], true, uint32_t(block), nullptr});
        }
        streams.push_back(s);
    }

    std::vector<TelemetryRecord> records = drive.records(plan.stretch);
    if (!plan.gps)
        std::erase_if(records, [](const TelemetryRecord &r) { return r.text.rfind("GPRMC", 0) == 0; });
    if (plan.editRecords)
        plan.editRecords(records);
    AviStream t;
    t.type = AviStream::Telemetry;
    t.scale = 1;
    t.rate = 1000;
    t.name = "telemetry";
    const size_t telemetry = streams.size();
    streams.push_back(t);
    for (const TelemetryRecord &r : records)
        chunks.push_back({double(r.stampMs), telemetry, nullptr, true, 1, &r});

    std::stable_sort(chunks.begin(), chunks.end(), [](const Timed &a, const Timed &b) { return a.ms < b.ms; });

    AviWriter avi;
    if (!avi.open(path, streams)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    for (const Timed &c : chunks) {
        if (c.record)
            avi.writeRecord(c.stream, c.record->stampMs, c.record->text);
        else
            avi.writeChunk(c.stream, c.bytes->data(), c.bytes->size(), c.key, c.length);
    }
    if (!avi.close()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    if (written)
        *written = records;
    return true;
}

} // namespace cardgen
