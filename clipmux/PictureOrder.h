// When each picture is shown, for streams whose pictures are stored in
// decoding order but shown in another (B-frames). The writer turns these
// orders into composition offsets.
#pragma once

#include "AnnexB.h"
#include "MovieBoxes.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace clipmux {

// Where a picture stands in showing order: within a run of pictures, the one
// with the lower count is shown first. A picture that starts a run is shown
// after every picture before it in the stream (an H.264 IDR picture, or one
// that resets the order count), and counts start over from it.
struct PictureOrder {
    int64_t count = 0;
    bool startsRun = false;
};

// H.264: the picture order count of each picture, from its slice header and
// the parameter sets it refers to.
class H264PictureOrder {
public:
    H264PictureOrder();
    // Reads every SPS and PPS among the NAL units of an Annex B byte stream.
    void takeParameterSets(const uint8_t *data, size_t size);
    // The order of one access unit (its slices, perhaps led by parameter
    // sets, which are read first). A picture whose header cannot be read
    // (unknown parameter sets, cut short) starts a run: it is shown in the
    // place it is decoded.
    PictureOrder next(const uint8_t *unit, size_t size);

    struct Sps {
        bool valid = false;
        int chromaArrayType = 1;
        bool separateColourPlanes = false;
        int log2MaxFrameNum = 4;
        int pocType = 0;
        int log2MaxPocLsb = 4;
        bool deltaPicOrderAlwaysZero = false;
        int64_t offsetForNonRefPic = 0;
        int64_t offsetForTopToBottomField = 0;
        std::vector<int64_t> offsetForRefFrame;
        bool frameMbsOnly = true;
    };
    struct Pps {
        bool valid = false;
        int spsId = 0;
        bool bottomFieldPicOrderInFramePresent = false;
        int numRefIdxL0Default = 1, numRefIdxL1Default = 1;
        bool weightedPred = false;
        int weightedBipredIdc = 0;
        bool redundantPicCntPresent = false;
    };

private:
    void takeParameterSet(NalSpan nal);

    std::vector<Sps> m_sps;
    std::vector<Pps> m_pps;
    // State carried from picture to picture.
    int64_t m_prevPocMsb = 0, m_prevPocLsb = 0;        // of the last reference picture
    int64_t m_prevFrameNumOffset = 0, m_prevFrameNum = 0; // of the last picture
};

// The vop_coding_type of the first VOP in an MPEG-4 visual unit (headers may
// lead it): 0 I, 1 P, 2 B, 3 S; -1 when the unit holds no VOP.
int VopCodingType(const uint8_t *unit, size_t size);

// MPEG-4 visual: I- and P-VOPs are shown once the next I- or P-VOP has been
// decoded; B-VOPs are shown as they come.
class Mp4vPictureOrder {
public:
    // The order of one unit as ReadMp4vOneAccessUnit gives it.
    PictureOrder next(const uint8_t *unit, size_t size);

private:
    int64_t m_index = 0;        // decoding position of this unit
    int64_t m_lastAnchor = -1;  // decoding position of the last I- or P-VOP
};

// Composition offsets worked out as samples arrive, in decoding order. As in
// a decoder, pictures wait until more than kWindow are waiting or their run
// ends; then the one shown first takes the next decoding time in line. H.264
// lets at most 16 frames (32 fields) wait, so for every stream a decoder
// accepts the result is the order of the counts within each run. Memory: 4
// bytes a sample, and the window.
class CompositionTimes {
public:
    static constexpr size_t kWindow = 64;

    // The next sample: its decoding time (from the first sample's) and its
    // place in showing order. Throws std::bad_alloc.
    void add(uint64_t decodeTime, PictureOrder order);
    // Ends the stream: the "ctts" runs of the first `count` samples, and the
    // media time of the first picture shown. Empty when every picture is
    // shown as decoded (or an offset would not fit). Throws std::bad_alloc.
    std::vector<CompositionOffset> finish(uint32_t count, uint32_t &presentationStart);

private:
    struct Waiting {
        int64_t count;
        uint32_t sample;
        uint64_t decodeTime;
    };
    void release();

    std::vector<Waiting> m_waiting; // a heap: the picture shown first on top
    std::deque<uint64_t> m_slots;   // decoding times not taken yet, in order
    std::vector<int32_t> m_offsets; // showing time less decoding time, a sample
    int64_t m_least = 0;
    bool m_reordered = false;
    bool m_tooLarge = false;
};

} // namespace clipmux
