#include "Mp4Parse.h"
#include "WriterConfig.h"
#include "Mp4Writer.h"
#include "MovieBoxes.h"
#include "SampleEntry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ctime>
#include <filesystem>

using namespace clipmux;
using namespace clipmux::test;

namespace {

std::string TempPath(const std::string &name)
{
    return (std::filesystem::temp_directory_path() / ("clipmux-test-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// An H.264 access unit as the reader gives it: 4-byte start code, then a NAL
// unit of the type, padded to `size` bytes in all (start code included).
Bytes H264Unit(int nalType, size_t size)
{
    Bytes b = {0, 0, 0, 1, uint8_t(0x60 | nalType), 0x88};
    while (b.size() < size)
        b.push_back(uint8_t(0x10 + b.size() % 200));
    return b;
}

const Bytes kSps = {0x67, 0x64, 0x00, 0x1F, 0xAC, 0xD9, 0x40, 0x50, 0x05, 0xBB}; // 10 bytes, High@3.1
const Bytes kPps = {0x68, 0xEB, 0xE3, 0xCB};                                       // 4 bytes

Bytes H264Config()
{
    Bytes c = {0, 0, 0, 1};
    c.insert(c.end(), kSps.begin(), kSps.end());
    c.insert(c.end(), {0, 0, 0, 1});
    c.insert(c.end(), kPps.begin(), kPps.end());
    return c;
}

struct Written {
    Bytes file;
    int closeResult = 0;
};

// Writes units with time stamps n * delta, then ends the stream.
Written WriteH264(const std::vector<Bytes> &units, uint64_t delta, bool end = true, uint32_t sizeLimit = 0,
                  std::vector<int> *results = nullptr, int64_t creationTime = -1)
{
    const std::string path = TempPath("w.3gp");
    const Bytes config = H264Config();
    Mp4WrConfig cfg = H264WriterConfig(config, 176, 144);
    cfg.sizeLimit = sizeLimit;
    cfg.creationTime = creationTime;
    Mp4Writer *w = Mp4FileOpenWr(path.c_str(), cfg);
    EXPECT_NE(w, nullptr);
    uint64_t t = 0;
    for (const Bytes &u : units) {
        const int r = Mp4FileWriteSample(w, u.data(), u.size(), t);
        if (results)
            results->push_back(r);
        t += delta;
    }
    if (end)
        Mp4FileWriteEnd(w, t);
    Written out;
    out.closeResult = Mp4FileCloseWr(w);
    out.file = ReadFile(path);
    std::remove(path.c_str());
    return out;
}

std::vector<uint32_t> StblTable(const Bytes &f, const char *type)
{
    bool found = false;
    const Box box = Find(f, std::string("moov/trak/mdia/minf/stbl/") + type, &found);
    if (!found)
        return {};
    return Table(f, box, 8); // version, flags, count
}

} // namespace

TEST(Writer, BoxLayoutOfThreeUnits)
{
    // Three access units, the first an IDR slice, of 1,000, 200 and 300 bytes.
    const Written w = WriteH264({H264Unit(5, 1000), H264Unit(1, 200), H264Unit(1, 300)}, 100);
    const Bytes &f = w.file;
    ASSERT_EQ(w.closeResult, Mp4Ok);

    std::vector<std::string> top;
    for (const Box &b : Children(f, 0, f.size()))
        top.push_back(b.type);
    EXPECT_EQ(top, (std::vector<std::string>{"ftyp", "mdat", "moov"}));
    const Bytes ftyp(f.begin(), f.begin() + 28);
    EXPECT_EQ(ftyp, (Bytes{0, 0, 0, 28, 'f', 't', 'y', 'p', '3', 'g', 'p', '4', 0, 0, 2, 0, '3', 'g', 'p', '4', 0, 0,
                           0, 0, 0, 0, 0, 0}));

    const Box mdat = Find(f, "mdat");
    EXPECT_EQ(mdat.offset, 28u);
    EXPECT_EQ(mdat.size, 8u + 1000 + 200 + 300) << "the last unit is stored too";

    EXPECT_EQ(ChildTypes(f, "moov"), (std::vector<std::string>{"mvhd", "trak"}));
    EXPECT_EQ(ChildTypes(f, "moov/trak"), (std::vector<std::string>{"tkhd", "mdia"}));
    EXPECT_EQ(ChildTypes(f, "moov/trak/mdia"), (std::vector<std::string>{"mdhd", "hdlr", "minf"}));
    EXPECT_EQ(ChildTypes(f, "moov/trak/mdia/minf"), (std::vector<std::string>{"vmhd", "dinf", "stbl"}));
    EXPECT_EQ(ChildTypes(f, "moov/trak/mdia/minf/stbl"),
              (std::vector<std::string>{"stsd", "stts", "stss", "stsc", "stsz", "stco"}));

    struct Size {
        const char *path;
        size_t size;
    } sizes[] = {{"moov/mvhd", 108},
                 {"moov/trak/tkhd", 92},
                 {"moov/trak/mdia/mdhd", 32},
                 {"moov/trak/mdia/hdlr", 57},
                 {"moov/trak/mdia/minf/vmhd", 20},
                 {"moov/trak/mdia/minf/dinf", 36},
                 {"moov/trak/mdia/minf/dinf/dref", 28},
                 {"moov/trak/mdia/minf/stbl/stsc", 28},
                 {"moov/trak/mdia/minf/stbl/stts", 16 + 8},
                 {"moov/trak/mdia/minf/stbl/stss", 16 + 4},
                 {"moov/trak/mdia/minf/stbl/stsz", 20 + 12},
                 {"moov/trak/mdia/minf/stbl/stco", 16 + 12}};
    for (const Size &s : sizes)
        EXPECT_EQ(Find(f, s.path).size, s.size) << s.path;

    EXPECT_EQ(StblTable(f, "stco"), (std::vector<uint32_t>{36, 1036, 1236}));
    EXPECT_EQ(Table(f, Find(f, "moov/trak/mdia/minf/stbl/stsz"), 12), (std::vector<uint32_t>{1000, 200, 300}));
    EXPECT_EQ(StblTable(f, "stts"), (std::vector<uint32_t>{3, 100}));
    EXPECT_EQ(StblTable(f, "stss"), (std::vector<uint32_t>{1}));
    EXPECT_EQ(StblTable(f, "stsc"), (std::vector<uint32_t>{1, 1, 1}));

    // Samples carry a 4-byte length in place of the start code.
    EXPECT_EQ(Be32(f, 36), 996u);
    EXPECT_EQ(f[40], 0x65);
    EXPECT_EQ(Be32(f, 1036), 196u);

    // Durations, time scales, handler, size fields.
    const Box mvhd = Find(f, "moov/mvhd");
    EXPECT_EQ(Be32(f, mvhd.offset + 20), 1000u);
    EXPECT_EQ(Be32(f, mvhd.offset + 24), 300u);
    EXPECT_EQ(Be32(f, mvhd.offset + 104), 2u) << "next track ID";
    const Box tkhd = Find(f, "moov/trak/tkhd");
    EXPECT_EQ(Be32(f, tkhd.offset + 8), 1u) << "version 0, track enabled";
    EXPECT_EQ(Be32(f, tkhd.offset + 28), 300u);
    EXPECT_EQ(Be32(f, tkhd.offset + 84), 176u << 16);
    EXPECT_EQ(Be32(f, tkhd.offset + 88), 144u << 16);
    const Box mdhd = Find(f, "moov/trak/mdia/mdhd");
    EXPECT_EQ(Be32(f, mdhd.offset + 20), 1000u);
    EXPECT_EQ(Be32(f, mdhd.offset + 24), 300u);
    EXPECT_EQ(Be32(f, mdhd.offset + 28), 0x55C40000u);
    const Box hdlr = Find(f, "moov/trak/mdia/hdlr");
    EXPECT_EQ(std::string(f.begin() + long(hdlr.offset) + 16, f.begin() + long(hdlr.offset) + 20), "vide");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&f[hdlr.offset + 32])), "Tessavonic Media Handler");
}

TEST(Writer, CreationTimeIsUtcSince1904)
{
    const std::time_t before = std::time(nullptr);
    const Written w = WriteH264({H264Unit(5, 100)}, 40);
    const std::time_t after = std::time(nullptr);
    for (const char *path : {"moov/mvhd", "moov/trak/tkhd", "moov/trak/mdia/mdhd"}) {
        const Box box = Find(w.file, path);
        const uint32_t created = Be32(w.file, box.offset + 12);
        EXPECT_GE(created, uint32_t(before + 2082844800)) << path;
        EXPECT_LE(created, uint32_t(after + 2082844800)) << path;
        EXPECT_EQ(Be32(w.file, box.offset + 16), created) << path;
    }
    EXPECT_EQ(Mp4TimeFromUnix(0), 0u) << "1970 or earlier";
    EXPECT_EQ(Mp4TimeFromUnix(1700000000), 1700000000u + 2082844800u);
}

TEST(Writer, EmptyTrack)
{
    for (const std::vector<Bytes> &units : {std::vector<Bytes>{}, std::vector<Bytes>{H264Unit(1, 50), H264Unit(1, 60)}}) {
        const Written w = WriteH264(units, 100);
        const Bytes &f = w.file;
        EXPECT_EQ(Find(f, "mdat").size, 8u);
        EXPECT_EQ(StblTable(f, "stts"), std::vector<uint32_t>{});
        bool hasStss = true;
        Find(f, "moov/trak/mdia/minf/stbl/stss", &hasStss);
        EXPECT_FALSE(hasStss);
        EXPECT_EQ(StblTable(f, "stsc"), (std::vector<uint32_t>{1, 1, 1}));
        EXPECT_EQ(Be32(f, Find(f, "moov/trak/mdia/minf/stbl/stsz").offset + 16), 0u);
        EXPECT_EQ(StblTable(f, "stco"), std::vector<uint32_t>{});
        EXPECT_EQ(Be32(f, Find(f, "moov/mvhd").offset + 24), 0u);
        EXPECT_EQ(Be32(f, Find(f, "moov/trak/mdia/mdhd").offset + 24), 0u);
    }
}

TEST(Writer, UnitsBeforeTheFirstKeyFrameAreDropped)
{
    struct Case {
        std::vector<int> types; // NAL type of each unit
        uint32_t stored;
        std::vector<uint32_t> sync;
    } cases[] = {
        {{1, 1, 5, 1, 1}, 3, {1}},
        {{5}, 1, {1}}, // a single key frame is a one-sample track
        {{5, 5, 5, 5}, 4, {1, 2, 3, 4}},
        {{1, 5, 1, 5, 1}, 4, {1, 3}},
    };
    for (const Case &c : cases) {
        std::vector<Bytes> units;
        for (int type : c.types)
            units.push_back(H264Unit(type, 100));
        const Written w = WriteH264(units, 40);
        EXPECT_EQ(StblTable(w.file, "stco").size(), c.stored);
        EXPECT_EQ(StblTable(w.file, "stts"), (std::vector<uint32_t>{c.stored, 40}));
        EXPECT_EQ(StblTable(w.file, "stss"), c.sync);
    }
}

TEST(Writer, DurationsFollowTheTimeStamps)
{
    const std::string path = TempPath("d.3gp");
    const Bytes config = H264Config();
    Mp4WrConfig cfg = H264WriterConfig(config, 64, 64);
    Mp4Writer *w = Mp4FileOpenWr(path.c_str(), cfg);
    ASSERT_NE(w, nullptr);
    const Bytes key = H264Unit(5, 20), other = H264Unit(1, 20);
    EXPECT_EQ(Mp4FileWriteSample(w, key.data(), key.size(), 0), Mp4Ok);
    EXPECT_EQ(Mp4FileWriteSample(w, other.data(), other.size(), 100), Mp4Ok);
    EXPECT_EQ(Mp4FileWriteSample(w, other.data(), other.size(), 250), Mp4Ok);
    EXPECT_EQ(Mp4FileWriteSample(w, other.data(), other.size(), 250), Mp4TimeNotIncreasing);
    EXPECT_EQ(Mp4FileWriteSample(w, other.data(), other.size(), 300), Mp4Ok);
    // Closing without an end time: the last unit lasts as long as the one before.
    EXPECT_EQ(Mp4FileCloseWr(w), Mp4Ok);
    const Bytes f = ReadFile(path);
    std::remove(path.c_str());
    EXPECT_EQ(StblTable(f, "stts"), (std::vector<uint32_t>{1, 100, 1, 150, 2, 50}));
    EXPECT_EQ(Be32(f, Find(f, "moov/mvhd").offset + 24), 350u);
}

TEST(Writer, StopsBeforeTheSizeLimitAndClosesAValidFile)
{
    // Each unit is 1,000 bytes; "mdat" data starts at 36. A limit of 3,100
    // leaves room for three samples (end offset 3,036).
    std::vector<Bytes> units(6, H264Unit(5, 1000));
    std::vector<int> results;
    const Written w = WriteH264(units, 100, true, 3100, &results);
    EXPECT_EQ(results, (std::vector<int>{Mp4Ok, Mp4Ok, Mp4Ok, Mp4Ok, Mp4SizeLimit, Mp4Ok}))
        << "the fourth sample does not fit when the fifth arrives; then the writer stops";
    EXPECT_EQ(w.closeResult, Mp4Ok);
    EXPECT_EQ(StblTable(w.file, "stco"), (std::vector<uint32_t>{36, 1036, 2036}));
    EXPECT_EQ(Find(w.file, "mdat").size, 8u + 3000);
    EXPECT_EQ(StblTable(w.file, "stts"), (std::vector<uint32_t>{3, 100}));
}

TEST(Writer, OpenRefusals)
{
    const std::string path = TempPath("r.3gp");
    Mp4WrConfig good;
    good.videoKind = StreamH263;
    good.width = 176;
    good.height = 144;
    struct Case {
        const char *what;
        Mp4WrConfig cfg;
        std::string name;
    } cases[] = {
        {"no video track", [&] { auto c = good; c.videoKind = 0; return c; }(), path},
        {"width 0", [&] { auto c = good; c.width = 0; return c; }(), path},
        {"height 65536", [&] { auto c = good; c.height = 65536; return c; }(), path},
        {"time scale 0", [&] { auto c = good; c.videoTimeScale = 0; return c; }(), path},
        {"empty name", good, ""},
        {"name of 511 characters", good, std::string(511, 'a')},
        {"folder missing", good, "/nonexistent-folder/x.3gp"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Mp4FileOpenWr(c.name.c_str(), c.cfg), nullptr) << c.what;
    EXPECT_EQ(Mp4FileWriteSample(nullptr, nullptr, 0, 0), Mp4NoVideoTrack);
}

TEST(SampleEntries, Sizes)
{
    struct Case {
        const char *what;
        SampleEntry entry;
        Bytes expectedPrefix; // the first bytes after the visual entry's 86
        size_t size;
    } cases[] = {
        {"avc1 with one SPS of 10 and one PPS of 4", {StreamH264, 176, 144, {kSps}, {kPps}, {}},
         // avcC: size 33, profile/compatibility/level from the SPS, 0xFF, 0xE1
         {0, 0, 0, 33, 'a', 'v', 'c', 'C', 1, 0x64, 0x00, 0x1F, 0xFF, 0xE1, 0, 10},
         139},
        {"avc1 without parameter sets", {StreamH264, 176, 144, {}, {}, {}},
         {0, 0, 0, 15, 'a', 'v', 'c', 'C', 1, 1, 0, 0, 0xFF, 0xE0, 0, 0, 0, 0, 20, 'b', 't', 'r', 't'},
         86 + 15 + 20},
        {"mp4v with 18 bytes of headers", {StreamMp4v, 176, 144, {}, {}, Bytes(18, 0xAB)},
         {0, 0, 0, 67, 'e', 's', 'd', 's', 0, 0, 0, 0, 0x03, 0x80, 0x80, 0x80, 0x32},
         153},
        {"mp4v that begins with a VOP", {StreamMp4v, 176, 144, {}, {}, {}},
         {0, 0, 0, 49, 'e', 's', 'd', 's'},
         135},
        {"s263", {StreamH263, 176, 144, {}, {}, {}},
         {0, 0, 0, 15, 'd', '2', '6', '3', 'v', 't', 'l', 'x', 0, 10, 0},
         101},
    };
    struct Collect final : ByteSink {
        Bytes bytes;
        void put(const uint8_t *d, size_t n) override { bytes.insert(bytes.end(), d, d + n); }
        uint64_t written() const override { return bytes.size(); }
    };
    for (const Case &c : cases) {
        Collect out;
        WriteSampleEntry(out, c.entry);
        ASSERT_EQ(out.bytes.size(), c.size) << c.what;
        EXPECT_EQ(Be32(out.bytes, 0), c.size) << c.what;
        EXPECT_EQ(out.bytes[32], 0x00);
        EXPECT_EQ(out.bytes[33], 0xB0) << "width 176";
        EXPECT_EQ(out.bytes[35], 0x90) << "height 144";
        EXPECT_EQ(Be32(out.bytes, 36), 0x00480000u);
        EXPECT_EQ(out.bytes[49], 1) << "frame count";
        EXPECT_EQ(out.bytes[84], 0xFF);
        EXPECT_EQ(out.bytes[85], 0xFF);
        const Bytes prefix(out.bytes.begin() + 86, out.bytes.begin() + 86 + long(c.expectedPrefix.size()));
        EXPECT_EQ(prefix, c.expectedPrefix) << c.what;
    }

    // The esds lengths: 80 80 80 00 for no headers, and the SL descriptor ends it.
    Collect empty;
    WriteSampleEntry(empty, {StreamMp4v, 1, 1, {}, {}, {}});
    const Bytes esdsTail(empty.bytes.end() - 6, empty.bytes.end());
    EXPECT_EQ(esdsTail, (Bytes{0x06, 0x80, 0x80, 0x80, 0x01, 0x02}));
    const Bytes dsi(empty.bytes.end() - 11, empty.bytes.end() - 6);
    EXPECT_EQ(dsi, (Bytes{0x05, 0x80, 0x80, 0x80, 0x00}));
}

TEST(SampleEntries, ParameterSetCountsAreBounded)
{
    // 40 SPS: the avcC count has five bits, so 31 are kept.
    Bytes config;
    for (int i = 0; i < 40; ++i) {
        config.insert(config.end(), {0, 0, 0, 1, 0x67, 0x42, 0x00, 0x1E, uint8_t(i + 1)});
    }
    config.insert(config.end(), {0, 0, 1, 0x68, 0xCE});
    const std::string path = TempPath("p.3gp");
    Mp4WrConfig cfg = H264WriterConfig(config, 16, 16);
    Mp4Writer *w = Mp4FileOpenWr(path.c_str(), cfg);
    ASSERT_NE(w, nullptr);
    Mp4FileCloseWr(w);
    const Bytes f = ReadFile(path);
    std::remove(path.c_str());
    const Box avcC = Find(f, "moov/trak/mdia/minf/stbl/stsd/avc1/avcC");
    EXPECT_EQ(f[avcC.payload() + 5], 0xE0 | 31);
    EXPECT_EQ(avcC.size, 8u + 7 + 31 * (2 + 5) + (2 + 2));
    EXPECT_EQ(f[avcC.payload() + 1], 0x42) << "profile of the first SPS";
    EXPECT_EQ(f[avcC.payload() + 3], 0x1E) << "level of the first SPS";
}

namespace {

class VectorSink final : public ByteSink {
public:
    void put(const uint8_t *data, size_t size) override { bytes.insert(bytes.end(), data, data + size); }
    uint64_t written() const override { return bytes.size(); }
    Bytes bytes;
};

} // namespace

// Boxes written alone, field by field.
TEST(Boxes, EachBoxAlone)
{
    struct Case {
        const char *what;
        std::function<void(ByteSink &)> write;
        Bytes expected;
    } cases[] = {
        {"stts with two runs", [](ByteSink &s) { WriteStts(s, {{3, 100}, {1, 50}}); },
         {0, 0, 0, 32, 's', 't', 't', 's', 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 100, 0, 0, 0, 1, 0, 0, 0, 50}},
        {"stss", [](ByteSink &s) { WriteStss(s, {1, 13}); },
         {0, 0, 0, 24, 's', 't', 's', 's', 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 13}},
        {"stco", [](ByteSink &s) { const uint32_t o[] = {36}; WriteStco(s, o, 1); },
         {0, 0, 0, 20, 's', 't', 'c', 'o', 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 36}},
        {"mdhd", [](ByteSink &s) { WriteMdhd(s, 0x01020304, 1000, 300); },
         {0, 0, 0, 32, 'm', 'd', 'h', 'd', 0, 0, 0, 0, 1, 2, 3, 4, 1, 2, 3, 4, 0, 0, 0x03, 0xE8, 0, 0, 0x01, 0x2C, 0x55,
          0xC4, 0, 0}},
    };
    for (const Case &c : cases) {
        VectorSink sink;
        c.write(sink);
        EXPECT_EQ(sink.bytes, c.expected) << c.what;
    }
}

// A whole file, byte for byte, against the stored reference (made by this
// writer, checked with ffprobe and FFmpeg when it was stored). With
// CLIPMUX_UPDATE_REFERENCE=1 the reference is written anew.
TEST(Boxes, WholeFileEqualsTheReference)
{
    std::vector<Bytes> units = {H264Unit(5, 200), H264Unit(1, 120), H264Unit(1, 90), H264Unit(5, 180)};
    const Written w = WriteH264(units, 40, true, 0, nullptr, 1710454500); // 2024-03-14 22:15:00 UTC
    ASSERT_EQ(w.closeResult, Mp4Ok);
    const std::string reference = std::string(CLIPMUX_REFERENCE_DIR) + "/four-samples.3gp";
    if (const char *update = std::getenv("CLIPMUX_UPDATE_REFERENCE"); update && std::string(update) == "1") {
        std::FILE *f = std::fopen(reference.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(w.file.data(), 1, w.file.size(), f);
        std::fclose(f);
    }
    EXPECT_EQ(w.file, ReadFile(reference)) << reference;
}
