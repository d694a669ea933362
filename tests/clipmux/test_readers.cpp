#include "AnnexB.h"
#include "StreamReaders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace clipmux;
using Bytes = std::vector<uint8_t>;

namespace {

// An in-memory input file.
struct MemoryFile {
    explicit MemoryFile(const Bytes &data)
    {
        file = std::tmpfile();
        if (!data.empty())
            std::fwrite(data.data(), 1, data.size(), file);
        std::rewind(file);
    }
    ~MemoryFile() { std::fclose(file); }
    std::FILE *file;
};

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Nal(int type, size_t size, bool startsPicture = true, uint8_t fill = 0x55)
{
    Bytes b = {uint8_t(0x60 | type)};
    if (type == 1 || type == 5)
        b.push_back(startsPicture ? 0x88 : 0x44); // first_mb_in_slice 0, or 1
    while (b.size() < size)
        b.push_back(fill);
    return b;
}
const Bytes SC4 = {0, 0, 0, 1};
const Bytes SC3 = {0, 0, 1};

std::vector<Bytes> ReadAllH264(const Bytes &stream, Bytes *config, ReadStatus *status = nullptr,
                               size_t maxUnit = kMaxAccessUnitSize)
{
    MemoryFile f(stream);
    ElementaryInput in(f.file, maxUnit);
    H264Reader reader(in);
    Bytes unit;
    ReadH264DecoderConfig(reader, unit);
    if (config)
        *config = unit;
    std::vector<Bytes> units;
    while (ReadH264OneAccessUnit(reader, unit) > 0)
        units.push_back(unit);
    if (status)
        *status = reader.status();
    return units;
}

} // namespace

TEST(H264Reader, ConfigurationAndAccessUnits)
{
    const Bytes sps = Nal(7, 10), pps = Nal(8, 4);
    const Bytes idr = Nal(5, 300), p1 = Nal(1, 120), p2a = Nal(1, 80), p2b = Nal(1, 70, false);
    struct Case {
        const char *what;
        Bytes stream;
        Bytes config;
        std::vector<Bytes> units;
    } cases[] = {
        {"four-byte start codes", Cat({SC4, sps, SC4, pps, SC4, idr, SC4, p1}), Cat({SC4, sps, SC4, pps}),
         {Cat({SC4, idr}), Cat({SC4, p1})}},
        {"three-byte start codes only", Cat({SC3, sps, SC3, pps, SC3, idr, SC3, p1}), Cat({SC4, sps, SC4, pps}),
         {Cat({SC4, idr}), Cat({SC4, p1})}},
        {"delimiters and SEI are dropped", Cat({SC4, Nal(9, 2), SC4, sps, SC3, pps, SC3, Nal(6, 9), SC3, idr, SC4,
                                              Nal(9, 2), SC3, p1}),
         Cat({SC4, sps, SC4, pps}), {Cat({SC4, idr}), Cat({SC4, p1})}},
        {"slices of one picture make one unit", Cat({SC4, sps, SC4, pps, SC4, idr, SC4, p2a, SC3, p2b, SC3, p1}),
         Cat({SC4, sps, SC4, pps}), {Cat({SC4, idr}), Cat({SC4, p2a, SC4, p2b}), Cat({SC4, p1})}},
        {"an SEI between pictures ends a unit of continued slices",
         Cat({SC4, sps, SC4, pps, SC4, idr, SC4, Nal(6, 5), SC3, p2b}), Cat({SC4, sps, SC4, pps}),
         {Cat({SC4, idr}), Cat({SC4, p2b})}},
        {"trailing zero bytes are not part of a unit", Cat({SC4, sps, {0, 0}, SC4, pps, SC4, idr, {0, 0, 0}}),
         Cat({SC4, sps, SC4, pps}), {Cat({SC4, idr})}},
        {"repeated parameter sets are skipped",
         Cat({SC4, sps, SC4, pps, SC4, idr, SC4, sps, SC4, pps, SC4, idr}), Cat({SC4, sps, SC4, pps}),
         {Cat({SC4, idr}), Cat({SC4, idr})}},
        {"no parameter sets: the whole stream is read looking for them", Cat({SC4, idr, SC4, p1}), {}, {}},
        {"empty", {}, {}, {}},
        {"garbage without start codes", Bytes(5000, 0x42), {}, {}},
    };
    for (const Case &c : cases) {
        Bytes config;
        ReadStatus status;
        const std::vector<Bytes> units = ReadAllH264(c.stream, &config, &status);
        EXPECT_EQ(config, c.config) << c.what;
        EXPECT_EQ(units, c.units) << c.what;
        EXPECT_EQ(status, ReadStatus::Ok) << c.what;
    }
}

TEST(H264Reader, MatchesASimpleSplitterAcrossBlockBoundaries)
{
    // Random NAL units around the 1 MiB block size, with both start-code
    // lengths, read back unchanged.
    std::mt19937 random(7);
    Bytes stream = Cat({SC4, Nal(7, 12), SC4, Nal(8, 5)});
    std::vector<Bytes> expected;
    size_t total = stream.size();
    for (int i = 0; total < 5u << 20; ++i) {
        const size_t size = (i % 3 == 0) ? 2 + random() % 4000 : (1 << 20) - 8 + random() % 16;
        Bytes nal = Nal(i % 7 == 0 ? 5 : 1, size, true, uint8_t(1 + random() % 250));
        const Bytes &sc = random() % 2 ? SC4 : SC3;
        stream.insert(stream.end(), sc.begin(), sc.end());
        stream.insert(stream.end(), nal.begin(), nal.end());
        expected.push_back(Cat({SC4, nal}));
        total = stream.size();
    }
    Bytes config;
    const std::vector<Bytes> units = ReadAllH264(stream, &config);
    ASSERT_EQ(units.size(), expected.size());
    for (size_t i = 0; i < units.size(); ++i)
        ASSERT_EQ(units[i], expected[i]) << "unit " << i;
}

TEST(H264Reader, LargePicturesGrowTheBufferUpToTheBound)
{
    const Bytes big = Nal(5, 400000); // far above the old 153,600-byte buffer
    const Bytes stream = Cat({SC4, Nal(7, 8), SC4, Nal(8, 4), SC4, big, SC4, Nal(1, 10)});
    ReadStatus status;
    std::vector<Bytes> units = ReadAllH264(stream, nullptr, &status);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].size(), 400004u);
    EXPECT_EQ(status, ReadStatus::Ok);

    // Beyond the bound the reader stops with an error, not a silent end.
    units = ReadAllH264(stream, nullptr, &status, 300000);
    EXPECT_TRUE(units.empty());
    EXPECT_EQ(status, ReadStatus::TooLarge);
}

TEST(H264Reader, SliceHeaders)
{
    // After the NAL header: first_mb_in_slice, then slice_type, both Exp-Golomb.
    struct Case {
        const char *what;
        Bytes nal;
        int sliceType;
        bool startsPicture;
    } cases[] = {
        {"I slice at the first macroblock", {0x65, 0x88}, 7, true}, // 1 0001000
        {"P slice at the first macroblock", {0x41, 0x9A}, 5, true}, // 1 00110
        {"B slice at the first macroblock", {0x01, 0xA8}, 1, true}, // 1 010
        {"P slice at macroblock 1", {0x41, 0x50}, 0, false},        // 010 1
        {"header only", {0x65}, -1, true},
        {"codes that run out of data", {0x01, 0x00, 0x00, 0x03, 0x01}, -1, false},
    };
    for (const Case &c : cases) {
        const NalSpan span{c.nal.data(), c.nal.size()};
        EXPECT_EQ(SliceStartsPicture(span), c.startsPicture) << c.what;
        EXPECT_EQ(SliceType(span), c.sliceType) << c.what;
    }
}

TEST(LengthPrefixed, Conversion)
{
    struct Case {
        const char *what;
        Bytes in, out;
    } cases[] = {
        {"one unit", {0, 0, 0, 1, 0x65, 1, 2}, {0, 0, 0, 3, 0x65, 1, 2}},
        {"two units, mixed codes", {0, 0, 0, 1, 0x65, 9, 0, 0, 1, 0x41, 7}, {0, 0, 0, 2, 0x65, 9, 0, 0, 0, 2, 0x41, 7}},
        {"no start code", {0x65, 1}, {0, 0, 0, 2, 0x65, 1}},
        {"only a start code", {0, 0, 1}, {}},
        {"empty", {}, {}},
    };
    for (const Case &c : cases) {
        Bytes out;
        AnnexBToLengthPrefixed(c.in.data(), c.in.size(), out);
        EXPECT_EQ(out, c.out) << c.what;
    }
}

TEST(Mp4vReader, Units)
{
    const Bytes vos = {0, 0, 1, 0xB0, 1, 0, 0, 1, 0xB5, 9, 0, 0, 1, 0, 0, 0, 1, 0x20, 8, 8}; // VOS, VO, VOL
    const Bytes vopI = {0, 0, 1, 0xB6, 0x10, 1, 2, 3};
    const Bytes vopP = {0, 0, 1, 0xB6, 0x50, 4, 5};
    const Bytes vopB = {0, 0, 1, 0xB6, 0x90, 6};
    const Bytes gov = {0, 0, 1, 0xB3, 7, 7};
    struct Case {
        const char *what;
        Bytes stream;
        Bytes config;
        std::vector<Bytes> units;
    } cases[] = {
        {"headers, then pictures", Cat({vos, vopI, vopP}), vos, {vopI, vopP}},
        {"a group header rides at the tail of the unit before", Cat({vos, vopI, gov, vopP}), vos,
         {Cat({vopI, gov}), vopP}},
        {"a stream that begins with a picture has no headers", Cat({vopI, vopP}), {}, {vopI, vopP}},
        // After a B-VOP, headers lead the next picture: a decoder would take
        // them for part of the B-VOP.
        {"headers after a B-VOP lead the next unit", Cat({vos, vopI, vopP, vopB, gov, vos, vopI, vopB}), vos,
         {vopI, vopP, vopB, Cat({gov, vos, vopI}), vopB}},
        {"headers after the last B-VOP lead nothing", Cat({vopI, vopB, gov}), {}, {vopI, vopB}},
        {"one VOP start code and ten bytes", Cat({{0, 0, 1, 0xB6}, Bytes(10, 0x33)}), {},
         {Cat({{0, 0, 1, 0xB6}, Bytes(10, 0x33)})}},
        {"empty", {}, {}, {}},
    };
    for (const Case &c : cases) {
        MemoryFile f(c.stream);
        ElementaryInput in(f.file);
        Bytes unit;
        ReadStatus status;
        ReadMp4vDecoderConfig(in, unit, status);
        EXPECT_EQ(unit, c.config) << c.what;
        std::vector<Bytes> units;
        while (ReadMp4vOneAccessUnit(in, unit, status) > 0)
            units.push_back(unit);
        EXPECT_EQ(units, c.units) << c.what;
        EXPECT_EQ(status, ReadStatus::Ok);
    }
}

TEST(H263Reader, Pictures)
{
    const Bytes pic1 = {0, 0, 0x80, 0x02, 0x08, 1, 2, 3, 0xFF};
    const Bytes pic2 = {0, 0, 0x81, 0x06, 0x0A, 4, 5};
    struct Case {
        const char *what;
        Bytes stream;
        std::vector<Bytes> units;
    } cases[] = {
        {"a single picture is returned whole", pic1, {pic1}},
        {"two pictures", Cat({pic1, pic2}), {pic1, pic2}},
        {"empty", {}, {}},
    };
    for (const Case &c : cases) {
        MemoryFile f(c.stream);
        ElementaryInput in(f.file);
        Bytes unit;
        ReadStatus status;
        std::vector<Bytes> units;
        while (ReadH263OneAccessUnit(in, unit, status) > 0)
            units.push_back(unit);
        EXPECT_EQ(units, c.units) << c.what;
    }
    // A start code straddling the 1 MiB read block is still found.
    Bytes big = pic1;
    big.resize((1 << 20) - 1, 0x11);
    const Bytes stream = Cat({big, pic2});
    MemoryFile f(stream);
    ElementaryInput in(f.file);
    Bytes unit;
    ReadStatus status;
    ASSERT_EQ(ReadH263OneAccessUnit(in, unit, status), big.size());
    ASSERT_EQ(ReadH263OneAccessUnit(in, unit, status), pic2.size());
    EXPECT_EQ(unit, pic2);
}
