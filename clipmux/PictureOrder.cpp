#include "PictureOrder.h"

#include "AnnexB.h"
#include "RbspBits.h"

#include <algorithm>
#include <climits>

namespace clipmux {
namespace {

// The largest picture any level allows, in macroblocks.
constexpr long kMaxFrameSizeInMbs = 139264;

// Profiles whose SPS carries chroma format, bit depths and scaling lists.
bool hasChromaFormat(int64_t profile)
{
    switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138: case 139:
    case 134: case 135:
        return true;
    default:
        return false;
    }
}

bool skipScalingList(RbspBits &b, int size)
{
    int64_t last = 8, next = 8;
    for (int j = 0; j < size; ++j) {
        if (next != 0) {
            bool ok = true;
            const long delta = b.se(ok);
            if (!ok)
                return false;
            next = (last + delta + 256) % 256;
        }
        last = next == 0 ? last : next;
    }
    return true;
}

bool readSps(NalSpan nal, int &id, H264PictureOrder::Sps &sps)
{
    RbspBits b(nal);
    const int64_t profile = b.bits(8);
    if (profile < 0 || b.bits(16) < 0)
        return false;
    const long spsId = b.ue();
    if (spsId < 0 || spsId > 31)
        return false;
    bool ok = true;
    if (hasChromaFormat(profile)) {
        const long chroma = b.ue();
        if (chroma < 0 || chroma > 3)
            return false;
        sps.chromaArrayType = int(chroma);
        if (chroma == 3) {
            sps.separateColourPlanes = b.bit() == 1;
            if (sps.separateColourPlanes)
                sps.chromaArrayType = 0;
        }
        if (b.ue() < 0 || b.ue() < 0 || b.bit() < 0) // bit depths, transform bypass
            return false;
        const int matrices = b.bit();
        if (matrices < 0)
            return false;
        if (matrices == 1)
            for (int i = 0; i < (chroma != 3 ? 8 : 12); ++i) {
                const int present = b.bit();
                if (present < 0 || (present == 1 && !skipScalingList(b, i < 6 ? 16 : 64)))
                    return false;
            }
    }
    const long log2MaxFrameNum = b.ue();
    if (log2MaxFrameNum < 0 || log2MaxFrameNum > 12)
        return false;
    sps.log2MaxFrameNum = int(log2MaxFrameNum) + 4;
    const long pocType = b.ue();
    if (pocType < 0 || pocType > 2)
        return false;
    sps.pocType = int(pocType);
    if (pocType == 0) {
        const long lsb = b.ue();
        if (lsb < 0 || lsb > 12)
            return false;
        sps.log2MaxPocLsb = int(lsb) + 4;
    } else if (pocType == 1) {
        const int zero = b.bit();
        sps.deltaPicOrderAlwaysZero = zero == 1;
        sps.offsetForNonRefPic = b.se(ok);
        sps.offsetForTopToBottomField = b.se(ok);
        const long cycle = b.ue();
        if (zero < 0 || !ok || cycle < 0 || cycle > 255)
            return false;
        for (long i = 0; i < cycle; ++i)
            sps.offsetForRefFrame.push_back(b.se(ok));
        if (!ok)
            return false;
    }
    if (b.ue() < 0 || b.bit() < 0 || b.ue() < 0 || b.ue() < 0) // references, gaps, width, height
        return false;
    const int frameMbsOnly = b.bit();
    if (frameMbsOnly < 0)
        return false;
    sps.frameMbsOnly = frameMbsOnly == 1;
    sps.valid = true;
    id = int(spsId);
    return true;
}

bool readPps(NalSpan nal, int &id, H264PictureOrder::Pps &pps)
{
    RbspBits b(nal);
    const long ppsId = b.ue(), spsId = b.ue();
    if (ppsId < 0 || ppsId > 255 || spsId < 0 || spsId > 31)
        return false;
    pps.spsId = int(spsId);
    const int entropy = b.bit(), bottomPresent = b.bit();
    const long groups = b.ue();
    if (entropy < 0 || bottomPresent < 0 || groups < 0 || groups > 7)
        return false;
    pps.bottomFieldPicOrderInFramePresent = bottomPresent == 1;
    if (groups > 0) {
        const long mapType = b.ue();
        if (mapType == 0) {
            for (long i = 0; i <= groups; ++i)
                if (b.ue() < 0)
                    return false;
        } else if (mapType == 2) {
            for (long i = 0; i < groups; ++i)
                if (b.ue() < 0 || b.ue() < 0)
                    return false;
        } else if (mapType >= 3 && mapType <= 5) {
            if (b.bit() < 0 || b.ue() < 0)
                return false;
        } else if (mapType == 6) {
            const long units = b.ue();
            if (units < 0 || units >= kMaxFrameSizeInMbs)
                return false;
            int idBits = 0;
            while ((1L << idBits) < groups + 1)
                ++idBits;
            for (long i = 0; i <= units; ++i)
                if (b.bits(idBits) < 0)
                    return false;
        } else if (mapType != 1) {
            return false;
        }
    }
    const long l0 = b.ue(), l1 = b.ue();
    if (l0 < 0 || l0 > 31 || l1 < 0 || l1 > 31)
        return false;
    pps.numRefIdxL0Default = int(l0) + 1;
    pps.numRefIdxL1Default = int(l1) + 1;
    const int weighted = b.bit();
    const int64_t bipred = b.bits(2);
    bool ok = true;
    b.se(ok); // pic_init_qp_minus26
    b.se(ok); // pic_init_qs_minus26
    b.se(ok); // chroma_qp_index_offset
    const int deblocking = b.bit(), constrainedIntra = b.bit(), redundant = b.bit();
    if (weighted < 0 || bipred < 0 || !ok || deblocking < 0 || constrainedIntra < 0 || redundant < 0)
        return false;
    pps.weightedPred = weighted == 1;
    pps.weightedBipredIdc = int(bipred);
    pps.redundantPicCntPresent = redundant == 1;
    pps.valid = true;
    id = int(ppsId);
    return true;
}

// The fields of a slice header that decide the picture order count.
struct SliceOrderFields {
    bool idr = false;
    int nalRefIdc = 0;
    int64_t frameNum = 0;
    bool field = false, bottomField = false;
    int64_t pocLsb = 0, deltaPocBottom = 0;
    int64_t deltaPoc[2] = {0, 0};
    bool resetsOrder = false; // memory_management_control_operation 5
};

bool skipRefPicListModification(RbspBits &b)
{
    const int flag = b.bit();
    if (flag < 0)
        return false;
    if (flag == 0)
        return true;
    for (int guard = 0; guard < 100; ++guard) {
        const long idc = b.ue();
        if (idc < 0 || idc > 5)
            return false;
        if (idc == 3)
            return true;
        if (b.ue() < 0)
            return false;
    }
    return false;
}

bool skipWeights(RbspBits &b, int count, int chromaArrayType)
{
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const int luma = b.bit();
        if (luma < 0)
            return false;
        if (luma == 1) {
            b.se(ok);
            b.se(ok);
        }
        if (chromaArrayType != 0) {
            const int chroma = b.bit();
            if (chroma < 0)
                return false;
            if (chroma == 1)
                for (int j = 0; j < 4; ++j)
                    b.se(ok);
        }
    }
    return ok;
}

bool readSliceHeader(NalSpan nal, const std::vector<H264PictureOrder::Sps> &spsTable,
                     const std::vector<H264PictureOrder::Pps> &ppsTable, SliceOrderFields &f,
                     const H264PictureOrder::Sps *&spsOut)
{
    const int type = nal.data[0] & 0x1F;
    f.idr = type == 5;
    f.nalRefIdc = (nal.data[0] >> 5) & 3;
    RbspBits b(nal);
    const long firstMb = b.ue(), sliceType = b.ue(), ppsId = b.ue();
    if (firstMb < 0 || sliceType < 0 || sliceType > 9 || ppsId < 0 || ppsId > 255)
        return false;
    const H264PictureOrder::Pps &pps = ppsTable[size_t(ppsId)];
    if (!pps.valid || !spsTable[size_t(pps.spsId)].valid)
        return false;
    const H264PictureOrder::Sps &sps = spsTable[size_t(pps.spsId)];
    spsOut = &sps;
    const int kind = int(sliceType % 5); // 0 P, 1 B, 2 I, 3 SP, 4 SI
    if (sps.separateColourPlanes && b.bits(2) < 0)
        return false;
    f.frameNum = b.bits(sps.log2MaxFrameNum);
    if (f.frameNum < 0)
        return false;
    if (!sps.frameMbsOnly) {
        const int field = b.bit();
        if (field < 0)
            return false;
        f.field = field == 1;
        if (f.field) {
            const int bottom = b.bit();
            if (bottom < 0)
                return false;
            f.bottomField = bottom == 1;
        }
    }
    if (f.idr && b.ue() < 0)
        return false;
    bool ok = true;
    if (sps.pocType == 0) {
        f.pocLsb = b.bits(sps.log2MaxPocLsb);
        if (f.pocLsb < 0)
            return false;
        if (pps.bottomFieldPicOrderInFramePresent && !f.field)
            f.deltaPocBottom = b.se(ok);
    } else if (sps.pocType == 1 && !sps.deltaPicOrderAlwaysZero) {
        f.deltaPoc[0] = b.se(ok);
        if (pps.bottomFieldPicOrderInFramePresent && !f.field)
            f.deltaPoc[1] = b.se(ok);
    }
    if (!ok)
        return false;
    if (f.nalRefIdc == 0 || f.idr)
        return true; // no reference marking that could reset the order
    // The rest of the header up to the reference marking.
    if (pps.redundantPicCntPresent && b.ue() < 0)
        return false;
    if (kind == 1 && b.bit() < 0) // direct_spatial_mv_pred_flag
        return false;
    int l0 = pps.numRefIdxL0Default, l1 = pps.numRefIdxL1Default;
    if (kind == 0 || kind == 1 || kind == 3) {
        const int override = b.bit();
        if (override < 0)
            return false;
        if (override == 1) {
            const long n0 = b.ue();
            if (n0 < 0 || n0 > 31)
                return false;
            l0 = int(n0) + 1;
            if (kind == 1) {
                const long n1 = b.ue();
                if (n1 < 0 || n1 > 31)
                    return false;
                l1 = int(n1) + 1;
            }
        }
    }
    if (kind != 2 && kind != 4 && !skipRefPicListModification(b))
        return false;
    if (kind == 1 && !skipRefPicListModification(b))
        return false;
    if ((pps.weightedPred && (kind == 0 || kind == 3)) || (pps.weightedBipredIdc == 1 && kind == 1)) {
        if (b.ue() < 0)
            return false;
        if (sps.chromaArrayType != 0 && b.ue() < 0)
            return false;
        if (!skipWeights(b, l0, sps.chromaArrayType))
            return false;
        if (kind == 1 && !skipWeights(b, l1, sps.chromaArrayType))
            return false;
    }
    const int adaptive = b.bit();
    if (adaptive < 0)
        return false;
    if (adaptive == 1)
        for (int guard = 0; guard < 100; ++guard) {
            const long op = b.ue();
            if (op < 0 || op > 6)
                return false;
            if (op == 0)
                break;
            if (op == 5)
                f.resetsOrder = true;
            if ((op == 1 || op == 3) && b.ue() < 0)
                return false;
            if (op == 2 && b.ue() < 0)
                return false;
            if ((op == 3 || op == 6) && b.ue() < 0)
                return false;
            if (op == 4 && b.ue() < 0)
                return false;
        }
    return true;
}

} // namespace

H264PictureOrder::H264PictureOrder() : m_sps(32), m_pps(256) {}

void H264PictureOrder::takeParameterSets(const uint8_t *data, size_t size)
{
    ForEachNalUnit(data, size, [this](NalSpan nal) { takeParameterSet(nal); });
}

void H264PictureOrder::takeParameterSet(NalSpan nal)
{
    const int type = nal.data[0] & 0x1F;
    int id = 0;
    if (type == 7) {
        Sps sps;
        if (readSps(nal, id, sps))
            m_sps[size_t(id)] = std::move(sps);
    } else if (type == 8) {
        Pps pps;
        if (readPps(nal, id, pps))
            m_pps[size_t(id)] = pps;
    }
}

PictureOrder H264PictureOrder::next(const uint8_t *unit, size_t size)
{
    NalSpan slice; // in-band sets lead the unit; the first slice ends the look
    ForEachNalUnitWhile(unit, size, [&](NalSpan nal) {
        const int type = nal.data[0] & 0x1F;
        if (type == 7 || type == 8)
            takeParameterSet(nal);
        else if ((type == 1 || type == 5) && nal.size >= 2)
            slice = nal;
        return !slice.data;
    });
    SliceOrderFields f;
    const Sps *sps = nullptr;
    if (!slice.data || !readSliceHeader(slice, m_sps, m_pps, f, sps))
        return {0, true}; // unknown order: shown where it is decoded
    if (f.idr)
        m_prevPocMsb = m_prevPocLsb = m_prevFrameNumOffset = m_prevFrameNum = 0;

    const int64_t maxFrameNum = int64_t(1) << sps->log2MaxFrameNum;
    int64_t frameNumOffset = f.idr ? 0 : m_prevFrameNumOffset;
    if (!f.idr && m_prevFrameNum > f.frameNum)
        frameNumOffset += maxFrameNum;

    int64_t top = 0, bottom = 0, pocMsb = 0;
    if (sps->pocType == 0) {
        const int64_t maxLsb = int64_t(1) << sps->log2MaxPocLsb;
        if (f.pocLsb < m_prevPocLsb && m_prevPocLsb - f.pocLsb >= maxLsb / 2)
            pocMsb = m_prevPocMsb + maxLsb;
        else if (f.pocLsb > m_prevPocLsb && f.pocLsb - m_prevPocLsb > maxLsb / 2)
            pocMsb = m_prevPocMsb - maxLsb;
        else
            pocMsb = m_prevPocMsb;
        top = bottom = pocMsb + f.pocLsb;
        if (!f.field)
            bottom = top + f.deltaPocBottom;
    } else if (sps->pocType == 1) {
        const int64_t cycle = int64_t(sps->offsetForRefFrame.size());
        int64_t absFrameNum = cycle != 0 ? frameNumOffset + f.frameNum : 0;
        if (f.nalRefIdc == 0 && absFrameNum > 0)
            --absFrameNum;
        // Wrapping arithmetic: counts only compare with their neighbours,
        // and a hostile stream must not overflow.
        uint64_t expected = 0;
        if (absFrameNum > 0) {
            uint64_t perCycle = 0;
            for (int64_t offset : sps->offsetForRefFrame)
                perCycle += uint64_t(offset);
            const int64_t cycles = (absFrameNum - 1) / cycle, inCycle = (absFrameNum - 1) % cycle;
            expected = uint64_t(cycles) * perCycle;
            for (int64_t i = 0; i <= inCycle; ++i)
                expected += uint64_t(sps->offsetForRefFrame[size_t(i)]);
        }
        if (f.nalRefIdc == 0)
            expected += uint64_t(sps->offsetForNonRefPic);
        const uint64_t toBottom = uint64_t(sps->offsetForTopToBottomField);
        if (!f.field) {
            top = int64_t(expected + uint64_t(f.deltaPoc[0]));
            bottom = int64_t(uint64_t(top) + toBottom + uint64_t(f.deltaPoc[1]));
        } else if (!f.bottomField) {
            top = bottom = int64_t(expected + uint64_t(f.deltaPoc[0]));
        } else {
            top = bottom = int64_t(expected + toBottom + uint64_t(f.deltaPoc[0]));
        }
    } else {
        int64_t count = 2 * (frameNumOffset + f.frameNum);
        if (f.nalRefIdc == 0)
            --count;
        top = bottom = count;
    }
    const int64_t poc = f.field ? (f.bottomField ? bottom : top) : std::min(top, bottom);
    if (f.resetsOrder) {
        // The picture is shown after every earlier one; its own count, and
        // the counts after it, start over from zero.
        m_prevPocMsb = 0;
        m_prevPocLsb = f.field && f.bottomField ? 0 : top - poc;
        m_prevFrameNumOffset = 0;
        m_prevFrameNum = 0;
        return {0, true};
    }
    if (f.nalRefIdc != 0) {
        m_prevPocMsb = pocMsb;
        m_prevPocLsb = f.pocLsb;
    }
    m_prevFrameNumOffset = frameNumOffset;
    m_prevFrameNum = f.frameNum;
    return {poc, f.idr};
}

int VopCodingType(const uint8_t *unit, size_t size)
{
    for (size_t i = 0; i + 4 < size; ++i)
        if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 1 && unit[i + 3] == 0xB6)
            return unit[i + 4] >> 6;
    return -1;
}

PictureOrder Mp4vPictureOrder::next(const uint8_t *unit, size_t size)
{
    // Anchors count in steps of kStep by their decoding position; a B-VOP
    // goes just after the anchor before the last one, in decoding order.
    constexpr int64_t kStep = int64_t(1) << 24;
    const bool bVop = VopCodingType(unit, size) == 2;
    const int64_t index = m_index++;
    if (!bVop || m_lastAnchor < 0) {
        m_lastAnchor = index;
        return {index * kStep, false};
    }
    return {(m_lastAnchor - 1) * kStep + std::min(index - m_lastAnchor, kStep - 1), false};
}

namespace {

// The picture shown first is the heap's top: least count, then first decoded.
bool shownLater(int64_t countA, uint32_t sampleA, int64_t countB, uint32_t sampleB)
{
    return countA != countB ? countA > countB : sampleA > sampleB;
}

} // namespace

void CompositionTimes::add(uint64_t decodeTime, PictureOrder order)
{
    if (order.startsRun)
        while (!m_waiting.empty())
            release(); // every earlier picture is shown before this one
    const uint32_t sample = uint32_t(m_offsets.size());
    m_offsets.push_back(0);
    m_slots.push_back(decodeTime);
    m_waiting.push_back({order.count, sample, decodeTime});
    std::push_heap(m_waiting.begin(), m_waiting.end(), [](const Waiting &a, const Waiting &b) {
        return shownLater(a.count, a.sample, b.count, b.sample);
    });
    while (m_waiting.size() > kWindow)
        release();
}

void CompositionTimes::release()
{
    std::pop_heap(m_waiting.begin(), m_waiting.end(), [](const Waiting &a, const Waiting &b) {
        return shownLater(a.count, a.sample, b.count, b.sample);
    });
    const Waiting shown = m_waiting.back();
    m_waiting.pop_back();
    const uint64_t slot = m_slots.front();
    m_slots.pop_front();
    const int64_t offset = int64_t(slot) - int64_t(shown.decodeTime);
    if (offset > INT32_MAX || offset < INT32_MIN) {
        m_tooLarge = true;
        return;
    }
    m_offsets[shown.sample] = int32_t(offset);
    m_reordered = m_reordered || offset != 0;
    m_least = std::min(m_least, offset);
}

std::vector<CompositionOffset> CompositionTimes::finish(uint32_t count, uint32_t &presentationStart)
{
    while (!m_waiting.empty())
        release();
    presentationStart = 0;
    std::vector<CompositionOffset> runs;
    if (!m_reordered || m_tooLarge)
        return runs;
    const size_t n = std::min<size_t>(count, m_offsets.size());
    for (size_t k = 0; k < n; ++k) {
        const uint32_t value = uint32_t(int64_t(m_offsets[k]) - m_least); // 0 or more, below 2^32
        if (!runs.empty() && runs.back().offset == value)
            ++runs.back().count;
        else
            runs.push_back({1, value});
    }
    presentationStart = uint32_t(-m_least);
    return runs;
}

} // namespace clipmux
