// Showing order of pictures: H.264 picture order counts read from parameter
// sets and slice headers written bit by bit here, MPEG-4 visual VOP types,
// and the composition offsets the writer derives from them.
#include "Mp4Parse.h"
#include "WriterConfig.h"
#include "Mp4Writer.h"
#include "PictureOrder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>

using namespace clipmux;
using Bytes = std::vector<uint8_t>;

namespace {

// Writes syntax elements MSB first and makes an Annex B NAL unit of them.
class Bits {
public:
    Bits &u(int n, uint64_t v)
    {
        for (int i = n - 1; i >= 0; --i)
            m_bits.push_back(((v >> i) & 1) != 0);
        return *this;
    }
    Bits &ue(uint64_t v)
    {
        const uint64_t x = v + 1;
        int len = 0;
        while ((x >> len) > 1)
            ++len;
        u(len, 0);
        return u(len + 1, x);
    }
    Bits &se(int64_t v) { return ue(v > 0 ? uint64_t(2 * v - 1) : uint64_t(-2 * v)); }

    // Start code, header byte, payload with stop bit and emulation prevention.
    Bytes nal(int refIdc, int type) const
    {
        std::vector<bool> bits = m_bits;
        bits.push_back(true);
        while (bits.size() % 8)
            bits.push_back(false);
        Bytes out = {0, 0, 0, 1, uint8_t(refIdc << 5 | type)};
        int zeros = 0;
        for (size_t i = 0; i < bits.size(); i += 8) {
            uint8_t byte = 0;
            for (size_t k = 0; k < 8; ++k)
                byte = uint8_t(byte << 1 | bits[i + k]);
            if (zeros >= 2 && byte <= 3) {
                out.push_back(3);
                zeros = 0;
            }
            out.push_back(byte);
            zeros = byte == 0 ? zeros + 1 : 0;
        }
        return out;
    }

private:
    std::vector<bool> m_bits;
};

struct SpsFields {
    int profile = 77;
    int pocType = 0;
    int log2MaxFrameNum = 4;
    int log2MaxPocLsb = 4;
    int offsetForNonRef = 0;
    std::vector<int> offsetsForRefFrame;
    bool scalingLists = false; // High profile with its own scaling lists
};

Bytes Sps(const SpsFields &f)
{
    Bits b;
    b.u(8, uint64_t(f.profile)).u(8, 0).u(8, 31).ue(0);
    if (f.profile == 100) {
        b.ue(1).ue(0).ue(0).u(1, 0).u(1, f.scalingLists);
        if (f.scalingLists)
            for (int i = 0; i < 8; ++i) {
                b.u(1, i == 0 || i == 6);
                if (i == 0) // 4x4: a few deltas, then 0 ends the list (next scale 0)
                    b.se(3).se(-5).se(-6);
                if (i == 6) // 8x8: sixty-four deltas of 0 keep the scale at 8
                    for (int k = 0; k < 64; ++k)
                        b.se(0);
            }
    }
    b.ue(uint64_t(f.log2MaxFrameNum - 4)).ue(uint64_t(f.pocType));
    if (f.pocType == 0)
        b.ue(uint64_t(f.log2MaxPocLsb - 4));
    if (f.pocType == 1) {
        b.u(1, 0).se(f.offsetForNonRef).se(0).ue(f.offsetsForRefFrame.size());
        for (int o : f.offsetsForRefFrame)
            b.se(o);
    }
    b.ue(4).u(1, 0).ue(19).ue(14).u(1, 1).u(1, 1).u(1, 0).u(1, 0);
    return b.nal(3, 7);
}

Bytes Pps(bool weighted)
{
    Bits b;
    b.ue(0).ue(0).u(1, 1).u(1, 0).ue(0).ue(0).ue(0).u(1, weighted).u(2, 0).se(0).se(0).se(0).u(1, 1).u(1, 0).u(1, 0);
    return b.nal(3, 8);
}

// One picture's first slice.
struct Slice {
    char kind;            // 'I' (IDR), 'i', 'P', 'B'
    int refIdc;           // 0: not used for reference
    int frameNum;
    int pocLsb = 0;       // POC type 0
    int deltaPoc = 0;     // POC type 1
    bool resetsOrder = false; // memory_management_control_operation 5
    bool weights = false;     // two references, reordered, with explicit weights
};

Bytes SliceNal(const SpsFields &sps, const Slice &s)
{
    const bool idr = s.kind == 'I';
    const int type = s.kind == 'B' ? 6 : s.kind == 'P' ? 5 : 7;
    Bits b;
    b.ue(0).ue(uint64_t(type)).ue(0).u(sps.log2MaxFrameNum, uint64_t(s.frameNum));
    if (idr)
        b.ue(0);
    if (sps.pocType == 0)
        b.u(sps.log2MaxPocLsb, uint64_t(s.pocLsb));
    if (sps.pocType == 1)
        b.se(s.deltaPoc);
    if (s.refIdc != 0 && !idr) {
        if (s.kind == 'B')
            b.u(1, 1); // direct_spatial_mv_pred_flag
        if (s.kind == 'P' || s.kind == 'B') {
            b.u(1, s.weights); // num_ref_idx_active_override_flag
            if (s.weights)
                b.ue(1);
        }
        if (s.kind == 'P' || s.kind == 'B') {
            b.u(1, s.weights);
            if (s.weights)
                b.ue(0).ue(0).ue(3); // move a short-term picture, end
        }
        if (s.kind == 'B')
            b.u(1, 0);
        if (s.weights) {
            b.ue(5).ue(4);
            for (int r = 0; r < 2; ++r)
                b.u(1, 1).se(-3).se(7).u(1, 1).se(1).se(-1).se(2).se(-2);
        }
        b.u(1, s.resetsOrder);
        if (s.resetsOrder)
            b.ue(1).ue(0).ue(5).ue(0); // unmark one short-term picture, reset, end
    }
    b.u(1, 1).u(1, 0).u(1, 1); // the start of the slice data
    return b.nal(idr ? 3 : s.refIdc, idr ? 5 : 1);
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(H264PictureOrder, CountsOfEachKind)
{
    SpsFields type0;
    SpsFields type1;
    type1.pocType = 1;
    type1.offsetsForRefFrame = {4};
    type1.offsetForNonRef = -2;
    SpsFields type2;
    type2.pocType = 2;
    SpsFields high = type0;
    high.profile = 100;
    high.scalingLists = true;
    struct Case {
        const char *what;
        SpsFields sps;
        bool weighted;
        std::vector<Slice> pictures;
        std::vector<PictureOrder> expected;
    } cases[] = {
        {"type 0, B-frames, the count's low bits wrap forward and back",
         type0,
         false,
         {{'I', 3, 0, 0}, {'P', 2, 1, 6}, {'B', 0, 2, 2}, {'B', 0, 2, 4}, {'P', 2, 2, 12}, {'B', 0, 3, 8},
          {'P', 2, 3, 2}, {'B', 0, 4, 14}},
         {{0, true}, {6, false}, {2, false}, {4, false}, {12, false}, {8, false}, {18, false}, {14, false}}},
        {"type 0, a new IDR picture starts over", type0, false,
         {{'I', 3, 0, 0}, {'P', 2, 1, 4}, {'I', 3, 0, 0}, {'P', 2, 1, 2}},
         {{0, true}, {4, false}, {0, true}, {2, false}}},
        {"type 0, a reset (mmco 5) in a reference picture", type0, false,
         {{'I', 3, 0, 0}, {'P', 2, 1, 4}, {'P', 2, 2, 8, 0, true}, {'B', 0, 0, 14}, {'P', 2, 1, 4}},
         {{0, true}, {4, false}, {0, true}, {-2, false}, {4, false}}},
        {"type 0, High profile scaling lists, weighted and reordered references before the reset", high, true,
         {{'I', 3, 0, 0}, {'P', 2, 1, 4, 0, false, true}, {'P', 2, 2, 8, 0, true, true}},
         {{0, true}, {4, false}, {0, true}}},
        {"type 1: expected counts from the cycle, less for pictures not used for reference", type1, false,
         {{'I', 3, 0}, {'P', 2, 1}, {'B', 0, 2}, {'P', 2, 2}, {'B', 0, 3, 0, 1}},
         {{0, true}, {4, false}, {2, false}, {8, false}, {7, false}}},
        {"type 2: twice the frame number, one less without reference, across the wrap", type2, false,
         {{'I', 3, 0}, {'P', 2, 1}, {'P', 0, 2}, {'P', 2, 15}, {'P', 2, 0}},
         {{0, true}, {2, false}, {3, false}, {30, false}, {32, false}}},
    };
    for (const Case &c : cases) {
        H264PictureOrder order;
        order.takeParameterSets(nullptr, 0);
        const Bytes sets = Cat({Sps(c.sps), Pps(c.weighted)});
        order.takeParameterSets(sets.data(), sets.size());
        ASSERT_EQ(c.pictures.size(), c.expected.size()) << c.what;
        for (size_t i = 0; i < c.pictures.size(); ++i) {
            const Bytes unit = SliceNal(c.sps, c.pictures[i]);
            const PictureOrder got = order.next(unit.data(), unit.size());
            EXPECT_EQ(got.count, c.expected[i].count) << c.what << ", picture " << i;
            EXPECT_EQ(got.startsRun, c.expected[i].startsRun) << c.what << ", picture " << i;
        }
    }
}

TEST(H264PictureOrder, SetsInBandAndHeadersThatCannotBeRead)
{
    SpsFields type0;
    H264PictureOrder order;
    const Bytes idr = SliceNal(type0, {'I', 3, 0, 0});
    const Bytes p = SliceNal(type0, {'P', 2, 1, 6});
    struct Step {
        const char *what;
        Bytes unit;
        PictureOrder expected;
    } steps[] = {
        {"no parameter sets yet: shown where decoded", idr, {0, true}},
        {"sets that lead the unit are read first", Cat({Sps(type0), Pps(false), idr}), {0, true}},
        {"then the stream goes on", p, {6, false}},
        {"a slice cut short", Bytes(p.begin(), p.begin() + 6), {0, true}},
        {"no slice at all", Sps(type0), {0, true}},
        {"an empty unit", {}, {0, true}},
    };
    for (const Step &s : steps) {
        const PictureOrder got = order.next(s.unit.data(), s.unit.size());
        EXPECT_EQ(got.count, s.expected.count) << s.what;
        EXPECT_EQ(got.startsRun, s.expected.startsRun) << s.what;
    }
}

TEST(Mp4vPictureOrder, AnchorsWaitForTheNextAnchor)
{
    // Decoding order I0 P1 B2 B3 P4 B5 I6 B7 shows I0 B2 B3 P1 B5 P4 B7 I6;
    // a group header leads I6.
    const char kinds[] = "IPBBPBIB";
    Mp4vPictureOrder order;
    std::vector<std::pair<int64_t, int>> counts;
    for (int i = 0; kinds[i]; ++i) {
        const uint8_t type = kinds[i] == 'I' ? 0x00 : kinds[i] == 'P' ? 0x40 : 0x80;
        Bytes unit = {0, 0, 1, 0xB6, type, 9};
        if (i == 6)
            unit.insert(unit.begin(), {0, 0, 1, 0xB3, 1, 2});
        const PictureOrder got = order.next(unit.data(), unit.size());
        EXPECT_FALSE(got.startsRun);
        counts.push_back({got.count, i});
    }
    std::stable_sort(counts.begin(), counts.end());
    std::vector<int> shown;
    for (const auto &c : counts)
        shown.push_back(c.second);
    EXPECT_EQ(shown, (std::vector<int>{0, 2, 3, 1, 5, 4, 7, 6}));

    struct Case {
        Bytes unit;
        int type;
    } cases[] = {
        {{0, 0, 1, 0xB6, 0x3F}, 0},
        {{0, 0, 1, 0xB6, 0x40}, 1},
        {{0, 0, 1, 0xB0, 1, 0, 0, 1, 0xB6, 0x80}, 2},
        {{0, 0, 1, 0xB6, 0xC0}, 3},
        {{0, 0, 1, 0xB3, 1}, -1},
        {{0, 0, 1, 0xB6}, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VopCodingType(c.unit.data(), c.unit.size()), c.type);
}

TEST(CompositionOffsets, FromShowingOrder)
{
    struct Case {
        const char *what;
        std::vector<TimeToSample> durations;
        std::vector<PictureOrder> orders;
        std::vector<CompositionOffset> expected;
        uint32_t start;
    } cases[] = {
        {"shown as decoded: none", {{4, 40}}, {{0, true}, {2, false}, {4, false}, {6, false}}, {}, 0},
        {"an empty track", {}, {}, {}, 0},
        // I0 P3 B1 B2 decode at 0 40 80 120 and show at 40 160 80 120 (the
        // delay of one picture keeps every offset at 0 or more).
        {"one anchor ahead",
         {{4, 40}},
         {{0, true}, {6, false}, {2, false}, {4, false}},
         {{1, 40}, {1, 120}, {2, 0}},
         40},
        // I0 P4 B2 b1 b3: a pyramid shows two pictures late.
        {"a pyramid",
         {{5, 40}},
         {{0, true}, {8, false}, {4, false}, {2, false}, {6, false}},
         {{1, 80}, {1, 200}, {1, 80}, {1, 0}, {1, 40}},
         80},
        // Runs: counts start over, and no picture of the second run is
        // shown before the last of the first.
        {"two runs",
         {{6, 40}},
         {{0, true}, {4, false}, {2, false}, {0, true}, {4, false}, {2, false}},
         {{1, 40}, {1, 80}, {1, 0}, {1, 40}, {1, 80}, {1, 0}},
         40},
        // Durations that differ: decoding times are handed out again.
        {"uneven durations",
         {{1, 10}, {1, 30}, {1, 20}},
         {{0, true}, {4, false}, {2, false}},
         {{1, 30}, {1, 60}, {1, 0}},
         30},
        {"the last sample without a duration yet",
         {{2, 40}},
         {{0, true}, {4, false}, {2, false}},
         {{1, 40}, {1, 80}, {1, 0}},
         40},
    };
    for (const Case &c : cases) {
        CompositionTimes times;
        uint64_t t = 0;
        size_t i = 0;
        for (const TimeToSample &run : c.durations)
            for (uint32_t k = 0; k < run.count && i < c.orders.size(); ++k, t += run.delta)
                times.add(t, c.orders[i++]);
        for (; i < c.orders.size(); ++i)
            times.add(t, c.orders[i]);
        uint32_t start = 99;
        const std::vector<CompositionOffset> got = times.finish(uint32_t(c.orders.size()), start);
        ASSERT_EQ(got.size(), c.expected.size()) << c.what;
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].count, c.expected[k].count) << c.what << ", run " << k;
            EXPECT_EQ(got[k].offset, c.expected[k].offset) << c.what << ", run " << k;
        }
        EXPECT_EQ(start, c.start) << c.what;
    }

    // A picture shown before more pictures than any decoder holds back: the
    // pictures that left the window before it came stay ahead of it.
    CompositionTimes deep;
    const uint32_t pictures = CompositionTimes::kWindow + 10;
    for (uint32_t k = 0; k < pictures; ++k)
        deep.add(k, {k + 1 == pictures ? 0 : int64_t(k) + 1, k == 0});
    uint32_t start = 0;
    const std::vector<CompositionOffset> runs = deep.finish(pictures, start);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].count, 9u);  // shown as decoded, before the last came
    EXPECT_EQ(runs[0].offset, CompositionTimes::kWindow);
    EXPECT_EQ(runs[1].count, CompositionTimes::kWindow); // the window, each one slot later
    EXPECT_EQ(runs[1].offset, CompositionTimes::kWindow + 1);
    EXPECT_EQ(runs[2].count, 1u);  // the last, shown tenth
    EXPECT_EQ(runs[2].offset, 0u);
    EXPECT_EQ(start, CompositionTimes::kWindow);
}

// The boxes of a file whose pictures are shown in another order; a file
// shown in decoding order has neither.
TEST(CompositionOffsets, WrittenAsCttsAndAnEditList)
{
    using namespace clipmux::test;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("clipmux-order-" + std::to_string(::getpid()) + ".mp4")).string();
    const SpsFields type0;
    const Bytes config = Cat({Sps(type0), Pps(false)});
    for (const bool reordered : {true, false}) {
        Mp4WrConfig cfg = H264WriterConfig(config, 320, 240);
        Mp4Writer *w = Mp4FileOpenWr(path.c_str(), cfg);
        ASSERT_NE(w, nullptr);
        const std::vector<Slice> pictures = {{'I', 3, 0, 0}, {'P', 2, 1, 6}, {'B', 0, 2, 2}, {'B', 0, 2, 4}};
        const int64_t counts[] = {0, 6, 2, 4};
        for (size_t i = 0; i < pictures.size(); ++i) {
            const Bytes unit = SliceNal(type0, pictures[i]);
            const PictureOrder order = reordered ? PictureOrder{counts[i], i == 0} : PictureOrder{int64_t(i), false};
            EXPECT_EQ(Mp4FileWriteSampleInOrder(w, unit.data(), unit.size(), 40 * i, order), Mp4Ok);
        }
        EXPECT_EQ(Mp4FileWriteEnd(w, 160), Mp4Ok);
        EXPECT_EQ(Mp4FileCloseWr(w), Mp4Ok);
        const Bytes file = ReadFile(path);
        std::remove(path.c_str());
        bool ctts = false, elst = false;
        const Box cttsBox = Find(file, "moov/trak/mdia/minf/stbl/ctts", &ctts);
        const Box elstBox = Find(file, "moov/trak/edts/elst", &elst);
        EXPECT_EQ(ctts, reordered);
        EXPECT_EQ(elst, reordered);
        if (!reordered)
            continue;
        EXPECT_EQ(Table(file, cttsBox, 8), (std::vector<uint32_t>{1, 40, 1, 120, 2, 0}));
        // One edit: 160 ms from media time 40 at rate 1.
        EXPECT_EQ(Table(file, elstBox, 8), (std::vector<uint32_t>{160, 40, 0x00010000}));
    }
}
