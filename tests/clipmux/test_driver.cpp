// The clipmux program end to end: command line, messages, exit status, and
// files made from real encoder output that FFmpeg must decode exactly like the
// raw stream.
#include "Mp4Parse.h"
#include "support/Files.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>

using namespace clipmux::test;
namespace fs = std::filesystem;

namespace {

using testsupport::Quote;
using testsupport::Result;
using testsupport::Shell;

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

class Clipmux : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("clipmux-e2e-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const std::string &name) const { return (m_dir / name).string(); }

    Result clipmux(const std::string &args) const
    {
        return Shell("cd " + Quote(m_dir.string()) + " && " + Quote(CLIPMUX_PROGRAM) + " " + args);
    }

    void write(const std::string &name, const Bytes &data) const
    {
        std::FILE *f = std::fopen(path(name).c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }

    // Frame checksums of a file as FFmpeg decodes it.
    std::vector<std::string> frameChecksums(const std::string &input, const std::string &format,
                                            bool strict) const
    {
        const std::string cmd = "ffmpeg -nostdin -v error " +
                                std::string(strict ? "-xerror -err_detect explode " : "") +
                                (format.empty() ? "" : "-f " + format + " ") + "-i " + Quote(input) +
                                " -map 0:v -fps_mode passthrough -f framemd5 -";
        const Result r = Shell(cmd);
        EXPECT_EQ(r.exitCode, 0) << cmd << "\n" << r.output;
        std::vector<std::string> sums;
        for (const std::string &line : Lines(r.output))
            if (line[0] != '#')
                sums.push_back(line.substr(line.rfind(',') + 1));
        return sums;
    }

    // Muxes the raw stream and checks the result against decoding the raw
    // stream: the same frames in the same showing order, samples in decoding
    // order with constant durations, pictures shown at 0, delta, 2 delta...,
    // and key flags on the key frames (with openGop, on some of them: an
    // intra picture that later pictures reach past is no place to start).
    void checkMuxed(const std::string &raw, const std::string &rawFormat, int width, int height, int delta,
                    const char *entryType, bool openGop = false)
    {
        const Result r = clipmux(Quote(raw) + " " + std::to_string(width) + " " + std::to_string(height) + " " +
                                 std::to_string(delta));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const std::string out = path(raw.substr(0, raw.rfind('.')) + ".3gp");
        ASSERT_TRUE(fs::exists(out));
        EXPECT_EQ(Lines(r.output).back(), fs::path(out).filename().string() + " file created!!");

        const std::vector<std::string> expected = frameChecksums(path(raw), rawFormat, false);
        const std::vector<std::string> got = frameChecksums(out, "", true);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(got, expected) << "every frame decodes as from the raw stream";

        const Bytes file = ReadFile(out);
        bool found = false;
        Find(file, std::string("moov/trak/mdia/minf/stbl/stsd/") + entryType, &found);
        EXPECT_TRUE(found) << entryType;

        // Packets in file order: decoding times rise by delta.
        const Result packets = Shell("ffprobe -v error -select_streams v -show_entries packet=pts,dts,duration,flags "
                                   "-of csv=p=0 " + Quote(out));
        struct Packet {
            long pts, dts, duration;
            bool key;
        };
        std::vector<Packet> list;
        for (const std::string &line : Lines(packets.output)) {
            Packet p{};
            char flags[8] = {};
            ASSERT_EQ(std::sscanf(line.c_str(), "%ld,%ld,%ld,%7s", &p.pts, &p.dts, &p.duration, flags), 4) << line;
            p.key = std::string(flags).find('K') != std::string::npos;
            list.push_back(p);
        }
        ASSERT_EQ(list.size(), expected.size());
        for (size_t i = 1; i < list.size(); ++i)
            EXPECT_EQ(list[i].dts - list[i - 1].dts, delta) << "decoding time of packet " << i;
        // In showing order: times 0, delta, 2 delta, ... and the raw stream's key frames.
        std::stable_sort(list.begin(), list.end(), [](const Packet &a, const Packet &b) { return a.pts < b.pts; });
        const Result frames = Shell("ffprobe -v error -f " + rawFormat +
                                  " -show_entries frame=key_frame -of csv=p=0 " + Quote(path(raw)));
        const std::vector<std::string> frameLines = Lines(frames.output);
        ASSERT_EQ(frameLines.size(), expected.size());
        EXPECT_TRUE(list.front().key) << "the first picture shown is a key frame";
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].pts, long(i) * delta) << "showing time of picture " << i;
            EXPECT_EQ(list[i].duration, delta) << "picture " << i;
            const bool rawKey = frameLines[i].rfind("1", 0) == 0;
            if (openGop)
                EXPECT_TRUE(!list[i].key || rawKey) << "key flag of picture " << i;
            else
                EXPECT_EQ(list[i].key, rawKey) << "key flag of picture " << i;
        }
        // The decoder shows pictures in the order the stream itself gives
        // them; the file's showing times must follow that order.
        const Result shown = Shell("ffprobe -v error -show_entries frame=pts -of csv=p=0 " + Quote(out));
        const std::vector<std::string> shownLines = Lines(shown.output);
        ASSERT_EQ(shownLines.size(), expected.size());
        for (size_t i = 0; i < shownLines.size(); ++i)
            EXPECT_EQ(shownLines[i], std::to_string(long(i) * delta)) << "time of the picture the decoder shows " << i;
    }

    fs::path m_dir;
};

} // namespace

TEST_F(Clipmux, CommandLineErrors)
{
    write("in.264", {0, 0, 0, 1, 0x67, 0x42, 0, 0x1E});
    const std::string banner = "clipmux: raw H.264 / H.263 / MPEG-4 visual to 3gp file converter";
    struct Case {
        const char *what;
        std::string args;
        std::vector<std::string> lines;
    } cases[] = {
        {"three arguments", "in.264 1 2",
         {banner, "Usage: " + std::string(CLIPMUX_PROGRAM) + " [input] [width] [height] [delta]",
          "ex) clipmux bitstream.mpg 640 480 100"}},
        {"missing input", "nothing.264 176 144 40", {banner, "fail to open nothing.264"}},
        {"width 0", "in.264 0 144 40", {banner, "width and height must be whole numbers from 1 to 65535 (got 0 x 144)"}},
        {"height too large", "in.264 176 65536 40",
         {banner, "width and height must be whole numbers from 1 to 65535 (got 176 x 65536)"}},
        {"width not a number", "in.264 abc 144 40",
         {banner, "width and height must be whole numbers from 1 to 65535 (got abc x 144)"}},
        {"delta 0", "in.264 176 144 0", {banner, "delta must be a whole number of milliseconds above 0 (got 0)"}},
        {"negative delta", "in.264 176 144 -40",
         {banner, "delta must be a whole number of milliseconds above 0 (got -40)"}},
    };
    for (const Case &c : cases) {
        const Result r = clipmux(c.args);
        EXPECT_EQ(r.exitCode, 255) << c.what;
        EXPECT_EQ(Lines(r.output), c.lines) << c.what;
        EXPECT_FALSE(fs::exists(path("in.3gp"))) << c.what;
    }
}

TEST_F(Clipmux, OutputNames)
{
    const Bytes h263 = {0, 0, 0x80, 0x02, 0x08, 1, 2, 3};
    fs::create_directories(path("a.b"));
    write("clip", h263);
    write("a.b/c", h263);
    write("movie.H264", h263);
    write("x.3gp", h263);
    struct Case {
        const char *what;
        std::string input;
        int exitCode;
        std::string output;
    } cases[] = {
        {"no dot", "clip", 0, "clip.3gp"},
        {"the last dot is in a folder name", "a.b/c", 0, "a.3gp"},
        {"the extension test is case-sensitive: MPEG-4 visual", "movie.H264", 0, "movie.3gp"},
        {"the output would overwrite the input", "x.3gp", 255, ""},
    };
    for (const Case &c : cases) {
        const Result r = clipmux(Quote(c.input) + " 176 144 100");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what << "\n" << r.output;
        if (!c.output.empty()) {
            EXPECT_EQ(Lines(r.output).back(), c.output + " file created!!") << c.what;
            EXPECT_TRUE(fs::exists(path(c.output))) << c.what;
        }
    }
    bool found = false;
    Find(ReadFile(path("movie.3gp")), "moov/trak/mdia/minf/stbl/stsd/mp4v", &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(ReadFile(path("x.3gp")), h263) << "the input is untouched";

    // An output name that would not fit 255 characters is refused.
    std::string deep = "d";
    while (deep.size() < 240)
        deep += "/" + std::string(40, 'x');
    fs::create_directories(path(deep));
    write(deep + "/" + std::string(20, 'n') + ".263", h263);
    const Result r = clipmux(Quote(deep + "/" + std::string(20, 'n') + ".263") + " 176 144 100");
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_NE(r.output.find("output name too long"), std::string::npos) << r.output;
}

TEST_F(Clipmux, PrintsEachAccessUnitSize)
{
    // SPS, PPS, IDR slice, P slice, with three-byte codes after the first.
    write("s.264", {0, 0, 0, 1, 0x67, 0x42, 0, 0x1E, 0xAB, 0, 0, 1, 0x68, 0xCE, 0x38, 0x80, 0, 0, 1, 0x65, 0x88, 0x84,
                    0, 0, 1, 0x41, 0x9A, 0x21});
    const Result r = clipmux("s.264 176 144 40");
    EXPECT_EQ(r.exitCode, 0);
    const std::vector<std::string> lines = Lines(r.output);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "7");
    EXPECT_EQ(lines[2], "7");
    EXPECT_EQ(lines[3], "s.3gp file created!!");
    const Bytes f = ReadFile(path("s.3gp"));
    const Box stts = Find(f, "moov/trak/mdia/minf/stbl/stts");
    EXPECT_EQ(Table(f, stts, 8), (std::vector<uint32_t>{2, 40}));
}

TEST_F(Clipmux, X264ThroughGStreamer)
{
    struct Case {
        const char *name;
        const char *options;
    } cases[] = {
        {"single.264", "aud=true"},
        {"slices.264", "aud=true option-string=slices=4"},
    };
    for (const Case &c : cases) {
        const std::string cmd =
            "gst-launch-1.0 -q videotestsrc num-buffers=40 pattern=ball ! "
            "video/x-raw,width=320,height=240,framerate=25/1 ! x264enc bframes=0 key-int-max=12 "
            "speed-preset=ultrafast " + std::string(c.options) +
            " ! video/x-h264,stream-format=byte-stream ! filesink location=" + Quote(path(c.name));
        ASSERT_EQ(Shell(cmd).exitCode, 0) << cmd;
        SCOPED_TRACE(c.name);
        checkMuxed(c.name, "h264", 320, 240, 40, "avc1");
    }
}

TEST_F(Clipmux, FFmpegEncoders)
{
    struct Case {
        const char *name;
        const char *encode;
        const char *format;
        int width, height, delta;
        const char *entry;
    } cases[] = {
        {"ff.264", "-s 320x240 -c:v libx264 -bf 0 -g 10 -f h264", "h264", 320, 240, 40, "avc1"},
        {"ff.263", "-s 176x144 -c:v h263 -g 10 -f h263", "h263", 176, 144, 40, "s263"},
        {"ff.m4v", "-s 320x240 -c:v mpeg4 -g 10 -f m4v", "m4v", 320, 240, 40, "mp4v"},
    };
    for (const Case &c : cases) {
        const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=rate=25 -t 2 " +
                                std::string(c.encode) + " " + Quote(path(c.name));
        ASSERT_EQ(Shell(cmd).exitCode, 0) << cmd;
        SCOPED_TRACE(c.name);
        checkMuxed(c.name, c.format, c.width, c.height, c.delta, c.entry);
    }
}

TEST_F(Clipmux, IntraPicturesLargerThanTheOldBuffer)
{
    // Lossless pictures of noise: each far above 153,600 bytes.
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i "
                            "\"nullsrc=s=640x480:r=25,geq=lum='random(1)*255':cb=128:cr=128\" -frames:v 4 "
                            "-c:v libx264 -qp 0 -bf 0 -g 2 -f h264 " + Quote(path("big.264"));
    ASSERT_EQ(Shell(cmd).exitCode, 0) << cmd;
    checkMuxed("big.264", "h264", 640, 480, 40, "avc1");
    const Bytes f = ReadFile(path("big.3gp"));
    const std::vector<uint32_t> sizes = Table(f, Find(f, "moov/trak/mdia/minf/stbl/stsz"), 12);
    ASSERT_EQ(sizes.size(), 4u);
    EXPECT_GT(*std::max_element(sizes.begin(), sizes.end()), 153600u);
}

// Streams whose pictures are shown in another order than decoded, as most
// encoders write them by default.
TEST_F(Clipmux, StreamsWithBFrames)
{
    struct Case {
        const char *name;
        const char *encode;
        const char *format;
        const char *entry;
        bool openGop;
    } cases[] = {
        {"b1.264", "-c:v libx264 -bf 1", "h264", "avc1", false},
        {"b2-cavlc.264", "-c:v libx264 -pix_fmt yuv420p -coder 0 -bf 2 -x264-params b-pyramid=none", "h264", "avc1",
         false},
        {"b2-cabac.264", "-c:v libx264 -pix_fmt yuv420p -coder 1 -bf 2 -x264-params b-pyramid=none", "h264", "avc1",
         false},
        {"b3.264", "-c:v libx264 -bf 3 -x264-params b-pyramid=none:b-adapt=0", "h264", "avc1", false},
        {"b3-pyramid.264", "-c:v libx264 -bf 3 -x264-params b-pyramid=normal:b-adapt=0", "h264", "avc1", false},
        {"b3-strict-pyramid.264", "-c:v libx264 -bf 3 -x264-params b-pyramid=strict:b-adapt=0", "h264", "avc1",
         false},
        // Weighted prediction and several references lengthen the slice
        // headers that must be read past; interlace adds field flags.
        {"weighted.264", "-c:v libx264 -bf 3 -x264-params weightp=2:weightb=1:ref=4:b-adapt=2", "h264", "avc1",
         false},
        {"interlaced.264", "-c:v libx264 -pix_fmt yuv420p -bf 2 -flags +ildct", "h264", "avc1", false},
        {"slices.264", "-c:v libx264 -bf 3 -x264-params slices=4", "h264", "avc1", false},
        // Sixteen B-frames in a pyramid: the longest run x264 writes.
        {"b16.264", "-c:v libx264 -bf 16 -x264-params b-adapt=0:ref=16:b-pyramid=normal", "h264", "avc1", false},
        {"open-gop.264", "-c:v libx264 -bf 3 -x264-params open-gop=1:keyint=20", "h264", "avc1", true},
        {"b2.m4v", "-c:v mpeg4 -bf 2", "m4v", "mp4v", false},
        {"b1.m4v", "-c:v mpeg4 -bf 1 -g 7", "m4v", "mp4v", false},
    };
    for (const Case &c : cases) {
        const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -t 3 -g 30 " +
                                std::string(c.encode) + " -f " + c.format + " " + Quote(path(c.name));
        ASSERT_EQ(Shell(cmd).exitCode, 0) << cmd;
        SCOPED_TRACE(c.name);
        checkMuxed(c.name, c.format, 320, 240, 40, c.entry, c.openGop);
        const std::string out = path(std::string(c.name).substr(0, std::string(c.name).rfind('.')) + ".3gp");
        const Result play = Shell("gst-discoverer-1.0 " + Quote(out));
        EXPECT_EQ(play.exitCode, 0) << play.output;
        EXPECT_NE(play.output.find("Duration: 0:00:03.000000000"), std::string::npos) << play.output;
    }
    // The same through GStreamer's x264 element.
    const std::string cmd = "gst-launch-1.0 -q videotestsrc num-buffers=60 pattern=ball ! "
                            "video/x-raw,width=320,height=240,framerate=25/1 ! x264enc bframes=3 b-pyramid=true "
                            "key-int-max=25 speed-preset=ultrafast ! video/x-h264,stream-format=byte-stream ! "
                            "filesink location=" + Quote(path("gst.264"));
    ASSERT_EQ(Shell(cmd).exitCode, 0) << cmd;
    checkMuxed("gst.264", "h264", 320, 240, 40, "avc1");
    const Bytes file = ReadFile(path("gst.3gp"));
    bool found = false;
    Find(file, "moov/trak/mdia/minf/stbl/ctts", &found);
    EXPECT_TRUE(found) << "composition offsets";
}

// Inputs that cannot be muxed whole give a message, exit status 255 and no
// file: never "file created!!" over a file that is cut or empty.
TEST_F(Clipmux, RefusedInputsLeaveNoFile)
{
    fs::create_directories(path("folder.264"));
    // One NAL unit above the 32 MiB an access unit may have.
    Bytes huge = {0, 0, 0, 1, 0x65};
    huge.resize(huge.size() + (33u << 20), 0xAB);
    write("huge.264", huge);
    struct Case {
        const char *input;
        const char *message;
        const char *output;
    } cases[] = {
        {"folder.264", "reading folder.264 failed", "folder.3gp"},
        {"huge.264", "is larger than 33554432 bytes; no file written", "huge.3gp"},
    };
    for (const Case &c : cases) {
        const Result r = clipmux(std::string(c.input) + " 320 240 40");
        EXPECT_EQ(r.exitCode, 255) << c.input << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.input << "\n" << r.output;
        EXPECT_EQ(r.output.find("file created!!"), std::string::npos) << c.input;
        EXPECT_FALSE(fs::exists(path(c.output))) << c.input;
    }
    for (const auto &item : fs::directory_iterator(m_dir))
        EXPECT_EQ(item.path().string().find(".partial"), std::string::npos) << item.path() << " left behind";
}

// A write that fails (full disk, file-size limit) keeps an earlier output of
// the same name whole and leaves nothing else behind.
TEST_F(Clipmux, AFailedWriteKeepsTheEarlierOutput)
{
    testsupport::SmallDisk disk("256k");
    if (!disk.available())
        GTEST_SKIP() << "needs the right to mount a small file system";
    const std::string small = disk.file("clip.264"), earlier = disk.file("clip.3gp");
    ASSERT_EQ(Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -t 1 -c:v libx264 -bf 0 "
                    "-f h264 " + Quote(small)).exitCode, 0);
    ASSERT_EQ(Shell(Quote(CLIPMUX_PROGRAM) + " " + Quote(small) + " 160 120 40").exitCode, 0);
    const std::string before = testsupport::ReadText(earlier);
    // A larger input of the same name: its output no longer fits.
    ASSERT_EQ(Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=640x480:rate=25 -t 4 -c:v libx264 -qp 5 "
                    "-bf 0 -f h264 " + Quote(path("big.264"))).exitCode, 0);
    const std::string big = testsupport::ReadText(path("big.264"));
    ASSERT_GT(big.size(), 100000u);
    disk.fill();
    std::filesystem::remove(small);
    disk.unfill();
    ASSERT_TRUE(testsupport::WriteText(small, big.substr(0, 150000))) << "the input fits, its output does not";

    struct Case {
        const char *what;
        std::string command;
    } cases[] = {
        {"a full disk", Quote(CLIPMUX_PROGRAM) + " " + Quote(small) + " 640 480 40"},
        {"a file-size limit", "ulimit -f 16; " + Quote(CLIPMUX_PROGRAM) + " " + Quote(small) + " 640 480 40"},
    };
    for (const Case &c : cases) {
        const Result r = Shell(c.command);
        EXPECT_EQ(r.exitCode, 255) << c.what << "\n" << r.output;
        EXPECT_NE(r.output.find("fail to write"), std::string::npos) << c.what << "\n" << r.output;
        EXPECT_EQ(testsupport::ReadText(earlier), before) << c.what;
        std::vector<std::string> names;
        for (const auto &item : fs::directory_iterator(disk.path()))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"clip.264", "clip.3gp"})) << c.what;
    }
}

// Parameter sets that change or join in the middle of a stream (an encoder or
// camera that switches picture size): every picture decodes as from the raw
// stream.
TEST_F(Clipmux, ParameterSetsThatChangeMidStream)
{
    struct Part {
        const char *name;
        const char *source;
        const char *size;
        const char *x264;
    } parts[] = {
        {"a.264", "testsrc", "320x240", "sps-id=0"},
        {"same-id.264", "testsrc2", "176x144", "sps-id=0"},
        {"new-id.264", "testsrc2", "176x144", "sps-id=1"},
    };
    for (const Part &p : parts)
        ASSERT_EQ(Shell("ffmpeg -nostdin -v error -y -f lavfi -i " + std::string(p.source) + "=size=" + p.size +
                        ":rate=25 -t 1 -c:v libx264 -bf 0 -g 10 -x264-params " + p.x264 + " -f h264 " +
                        Quote(path(p.name)))
                      .exitCode,
                  0);
    struct Case {
        const char *joined;
        const char *second;
    } cases[] = {
        {"changed.264", "same-id.264"}, // the same ids with other contents: kept in band
        {"added.264", "new-id.264"},    // new ids: into the decoder configuration
    };
    for (const Case &c : cases) {
        ASSERT_EQ(Shell("cat " + Quote(path("a.264")) + " " + Quote(path(c.second)) + " > " + Quote(path(c.joined)))
                      .exitCode,
                  0);
        SCOPED_TRACE(c.joined);
        checkMuxed(c.joined, "h264", 320, 240, 40, "avc1");
    }
    const Bytes added = ReadFile(path("added.3gp"));
    const Box avcC = Find(added, "moov/trak/mdia/minf/stbl/stsd/avc1/avcC");
    EXPECT_EQ(added[avcC.offset + 8 + 5] & 0x1F, 2) << "both SPS in the configuration";
}
