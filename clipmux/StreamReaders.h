// Cut raw video elementary streams into the pieces the writer stores: the
// decoder configuration, then one access unit per call.
#pragma once

#include "AnnexB.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace clipmux {

// An access unit may grow to this size; a larger one is an error, so that
// hostile input cannot exhaust memory.
inline constexpr size_t kMaxAccessUnitSize = 32u << 20; // 32 MiB

// Buffered input read in large blocks, with a position that the readers move.
class ElementaryInput {
public:
    explicit ElementaryInput(std::FILE *file, size_t maxUnit = kMaxAccessUnitSize);

    // Makes at least n bytes available from the position (fewer only at the
    // end of the file); returns how many are available.
    size_t ensure(size_t n);
    const uint8_t *data() const { return m_buffer.data() + m_pos; }
    size_t available() const { return m_end - m_pos; }
    void advance(size_t n) { m_pos += n; }
    bool readError() const { return m_readError; }
    int lastErrno() const { return m_errno; }
    size_t maxUnit() const { return m_maxUnit; }

private:
    std::FILE *m_file;
    std::vector<uint8_t> m_buffer;
    size_t m_pos = 0, m_end = 0;
    size_t m_maxUnit;
    bool m_eof = false;
    bool m_readError = false;
    int m_errno = 0;
};

enum class ReadStatus { Ok, TooLarge, ReadError };

// H.264 NAL units one at a time, with a look at the next one before taking it.
class H264Reader {
public:
    explicit H264Reader(ElementaryInput &input) : m_in(input) {}
    // The next NAL unit, valid until the next call; false at the end.
    bool peek(NalSpan &nal);
    void take();
    ReadStatus status() const { return m_status; }
    void setStatus(ReadStatus status) { m_status = status; }
    size_t maxUnit() const { return m_in.maxUnit(); }

private:
    ElementaryInput &m_in;
    bool m_peeked = false;
    size_t m_nalSize = 0;  // from the position
    size_t m_consumed = 0; // up to the next start code
    ReadStatus m_status = ReadStatus::Ok;
};

// The parameter sets a stream has given so far, by kind and id. Streams may
// bring new ones at any point (encoders and cameras that switch picture size
// do): a set with an id not seen before can join the decoder configuration; a
// set that changes one already given must reach the decoder where it stands,
// in band, before the picture that follows it.
class H264ParameterSets {
public:
    enum class Use {
        Repeat,  // the same as the set of that id already given: nothing to do
        NewId,   // an id not given before
        Replaces // another set under an id already given
    };
    // Classifies a SPS or PPS and remembers it as the current one of its id.
    Use take(NalSpan nal);
    // New-id sets met by ReadH264OneAccessUnit since the last call, each with
    // a 4-byte start code; the caller moves them into the configuration.
    std::vector<std::vector<uint8_t>> newSets;

private:
    std::vector<std::vector<uint8_t>> m_sps = std::vector<std::vector<uint8_t>>(32);
    std::vector<std::vector<uint8_t>> m_pps = std::vector<std::vector<uint8_t>>(256);
};

// The leading run of SPS and PPS NAL units, each with a 4-byte start code;
// remembered in `sets` when given.
size_t ReadH264DecoderConfig(H264Reader &reader, std::vector<uint8_t> &out, H264ParameterSets *sets = nullptr);

// One picture: all its slice NAL units, each with a 4-byte start code. SEI
// and delimiters are skipped. Parameter sets before the picture are skipped
// without `sets`; with it, repeats are skipped, sets with new ids are handed
// over in sets->newSets, and sets that change one already given (and any set
// after them up to the picture, which depends on them) are kept in band at
// the head of the unit. 0 at the end or on error (see the reader's status).
size_t ReadH264OneAccessUnit(H264Reader &reader, std::vector<uint8_t> &out, H264ParameterSets *sets = nullptr);

// One VOP (00 00 01 B6 ...) with what follows it up to the next VOP start
// code; headers (VOS, VO, VOL, GOV) that follow a B-VOP are left to lead the
// next unit instead. A unit that begins with such headers runs on to the end
// of its VOP.
size_t ReadMp4vOneAccessUnit(ElementaryInput &in, std::vector<uint8_t> &out, ReadStatus &status);
// The headers before the first VOP; none when the stream begins with a VOP.
size_t ReadMp4vDecoderConfig(ElementaryInput &in, std::vector<uint8_t> &out, ReadStatus &status);

// One H.263 picture, from its picture start code to the next.
size_t ReadH263OneAccessUnit(ElementaryInput &in, std::vector<uint8_t> &out, ReadStatus &status);

} // namespace clipmux
