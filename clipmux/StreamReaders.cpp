#include "StreamReaders.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace clipmux {
namespace {

constexpr size_t kBlock = 1 << 20; // read a megabyte at a time
constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

bool isSlice(int type)
{
    return type == 1 || type == 5;
}

// NAL unit types that come before the first slice of an access unit, so a
// slice after them begins a new picture.
bool beginsAccessUnit(int type)
{
    return (type >= 6 && type <= 11) || (type >= 14 && type <= 18);
}

void appendNal(std::vector<uint8_t> &out, NalSpan nal)
{
    out.insert(out.end(), kStartCode, kStartCode + 4);
    out.insert(out.end(), nal.data, nal.data + nal.size);
}

} // namespace

ElementaryInput::ElementaryInput(std::FILE *file, size_t maxUnit) : m_file(file), m_maxUnit(maxUnit) {}

size_t ElementaryInput::ensure(size_t n)
{
    if (m_end - m_pos >= n || m_eof)
        return m_end - m_pos;
    if (m_pos + n > m_buffer.size()) {
        // No room after the position: keep only what is not read yet, and
        // grow the buffer when one piece needs more than it holds.
        if (m_end > m_pos)
            std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_pos = 0;
        if (n > m_buffer.size())
            m_buffer.resize(std::max({n, m_buffer.size() * 2, kBlock}));
    }
    while (m_end - m_pos < n && !m_eof) {
        const size_t got = m_file ? std::fread(m_buffer.data() + m_end, 1, m_buffer.size() - m_end, m_file) : 0;
        m_end += got;
        if (got == 0) {
            m_eof = true;
            if (m_file && std::ferror(m_file)) {
                m_readError = true;
                m_errno = errno;
            }
        }
    }
    return m_end - m_pos;
}

bool H264Reader::peek(NalSpan &nal)
{
    if (m_status != ReadStatus::Ok)
        return false;
    if (!m_peeked) {
        // Find the start code of the next unit, keeping two bytes of each
        // block in case a start code straddles blocks.
        for (;;) {
            const size_t avail = m_in.ensure(3);
            if (avail < 3) {
                m_in.advance(avail);
                if (m_in.readError())
                    m_status = ReadStatus::ReadError; // not the end: the input could not be read
                return false;
            }
            const size_t code = FindStartCode(m_in.data(), avail, 0);
            if (code < avail) {
                m_in.advance(code + 3);
                break;
            }
            m_in.advance(avail - 2);
        }
        // Find where it ends: the next start code or the end of the file.
        size_t scanned = 0;
        size_t avail = m_in.ensure(1);
        for (;;) {
            const size_t code = FindStartCode(m_in.data(), avail, scanned);
            if (code < avail) {
                m_consumed = code;
                break;
            }
            const size_t before = avail;
            avail = m_in.ensure(before + 1);
            if (avail == before) { // the end of the file
                m_consumed = avail;
                break;
            }
            scanned = before >= 2 ? before - 2 : 0;
            if (scanned > m_in.maxUnit()) {
                m_status = ReadStatus::TooLarge;
                return false;
            }
        }
        size_t end = m_consumed;
        while (end > 0 && m_in.data()[end - 1] == 0)
            --end;
        m_nalSize = end;
        m_peeked = true;
        if (m_in.readError()) {
            m_status = ReadStatus::ReadError;
            return false;
        }
        if (m_nalSize > m_in.maxUnit()) { // also the last unit of the file
            m_status = ReadStatus::TooLarge;
            return false;
        }
    }
    nal = {m_in.data(), m_nalSize};
    return true;
}

void H264Reader::take()
{
    if (m_peeked) {
        m_in.advance(m_consumed);
        m_peeked = false;
    }
}

H264ParameterSets::Use H264ParameterSets::take(NalSpan nal)
{
    const int type = nal.size > 0 ? nal.data[0] & 0x1F : 0;
    const int id = ParameterSetId(nal);
    if (id < 0)
        return Use::Replaces; // unreadable: let the decoder see it where it stands
    std::vector<uint8_t> &slot = (type == 7 ? m_sps : m_pps)[size_t(id)];
    if (slot.size() == nal.size && std::equal(slot.begin(), slot.end(), nal.data))
        return Use::Repeat;
    const Use use = slot.empty() ? Use::NewId : Use::Replaces;
    slot.assign(nal.data, nal.data + nal.size);
    return use;
}

size_t ReadH264DecoderConfig(H264Reader &reader, std::vector<uint8_t> &out, H264ParameterSets *sets)
{
    out.clear();
    NalSpan nal;
    bool inConfig = false;
    while (reader.peek(nal)) {
        const int type = nal.size > 0 ? nal.data[0] & 0x1F : 0;
        const bool parameterSet = type == 7 || type == 8;
        if (!parameterSet && inConfig)
            break; // left for the access-unit reader
        if (parameterSet) {
            if (out.size() + 4 + nal.size > reader.maxUnit()) {
                reader.setStatus(ReadStatus::TooLarge);
                return 0;
            }
            appendNal(out, nal);
            if (sets)
                sets->take(nal);
            inConfig = true;
        }
        reader.take();
    }
    return out.size();
}

size_t ReadH264OneAccessUnit(H264Reader &reader, std::vector<uint8_t> &out, H264ParameterSets *sets)
{
    out.clear();
    if (sets)
        sets->newSets.clear();
    NalSpan nal;
    bool slices = false;
    bool inBand = false; // a set changed: the rest of the run goes with it
    while (reader.peek(nal)) {
        const int type = nal.size > 0 ? nal.data[0] & 0x1F : 0;
        if (sets && !slices && (type == 7 || type == 8)) {
            const H264ParameterSets::Use use = sets->take(nal);
            if (use == H264ParameterSets::Use::Replaces)
                inBand = true;
            if (inBand && use != H264ParameterSets::Use::NewId) {
                if (out.size() + 4 + nal.size > reader.maxUnit()) {
                    reader.setStatus(ReadStatus::TooLarge);
                    return 0;
                }
                appendNal(out, nal);
            } else if (use == H264ParameterSets::Use::NewId) {
                std::vector<uint8_t> set;
                appendNal(set, nal);
                sets->newSets.push_back(std::move(set));
            }
            reader.take();
            continue;
        }
        if (isSlice(type)) {
            if (slices && SliceStartsPicture(nal))
                break; // the next picture
            slices = true;
            if (out.size() + 4 + nal.size > reader.maxUnit()) {
                reader.setStatus(ReadStatus::TooLarge);
                return 0;
            }
            appendNal(out, nal);
        } else if (slices && beginsAccessUnit(type)) {
            break;
        }
        reader.take();
    }
    if (reader.status() != ReadStatus::Ok)
        return 0;
    return slices ? out.size() : 0;
}

namespace {

// Reads a unit that starts at the position and ends before the first match of
// a start-code pattern at offset `minStart` or later. `match(p)` tests the
// bytes at p (at least `patternSize` of them).
template <typename Match>
size_t readUntil(ElementaryInput &in, std::vector<uint8_t> &out, ReadStatus &status, size_t minStart,
                 size_t patternSize, Match match)
{
    out.clear();
    status = ReadStatus::Ok;
    size_t avail = in.ensure(1);
    if (avail == 0) {
        if (in.readError())
            status = ReadStatus::ReadError;
        return 0;
    }
    size_t from = minStart;
    for (;;) {
        const uint8_t *d = in.data();
        size_t found = SIZE_MAX;
        size_t p = from;
        while (p + patternSize <= avail) {
            // Every pattern begins with a zero byte: jump from zero to zero.
            const void *zero = std::memchr(d + p, 0, avail - p - (patternSize - 1));
            if (!zero)
                break;
            p = size_t(static_cast<const uint8_t *>(zero) - d);
            if (match(d + p)) {
                found = p;
                break;
            }
            ++p;
        }
        if (found != SIZE_MAX) {
            if (found > in.maxUnit()) {
                status = ReadStatus::TooLarge;
                return 0;
            }
            out.assign(d, d + found);
            in.advance(found);
            return found;
        }
        const size_t before = avail;
        if (before > in.maxUnit()) {
            status = ReadStatus::TooLarge;
            return 0;
        }
        avail = in.ensure(before + 1);
        if (avail == before) { // the end of the file: the rest is the unit
            if (in.readError()) {
                status = ReadStatus::ReadError;
                return 0;
            }
            if (avail > in.maxUnit()) {
                status = ReadStatus::TooLarge;
                return 0;
            }
            out.assign(in.data(), in.data() + avail);
            in.advance(avail);
            return avail;
        }
        from = std::max(minStart, before >= patternSize ? before - patternSize + 1 : 0);
    }
}

} // namespace

namespace {

bool isVopStart(const uint8_t *p)
{
    return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xB6;
}

// Start codes of the headers that lead a picture: visual object sequence,
// visual object, video object, video object layer, group of VOPs.
bool isHeaderStart(const uint8_t *p)
{
    return p[0] == 0 && p[1] == 0 && p[2] == 1 && (p[3] <= 0x2F || p[3] == 0xB0 || p[3] == 0xB3 || p[3] == 0xB5);
}

} // namespace

size_t ReadMp4vOneAccessUnit(ElementaryInput &in, std::vector<uint8_t> &out, ReadStatus &status)
{
    // A unit that begins with headers goes on to its VOP. Headers after a
    // B-VOP begin the next unit: a decoder reading a B-VOP takes what
    // follows it for part of the picture. After other VOPs they stay at the
    // tail, where files made so far have them.
    const size_t avail = in.ensure(5);
    bool vopSeen = avail >= 4 && isVopStart(in.data());
    const bool bVop = vopSeen && avail >= 5 && (in.data()[4] >> 6) == 2;
    // The first four bytes are the unit's own start code.
    const size_t size = readUntil(in, out, status, 4, 4, [&vopSeen, bVop](const uint8_t *p) {
        if (isVopStart(p)) {
            if (vopSeen)
                return true;
            vopSeen = true;
            return false;
        }
        return bVop && isHeaderStart(p);
    });
    if (size > 0 && !vopSeen) { // headers after the last picture lead nothing
        out.clear();
        return 0;
    }
    return size;
}

size_t ReadMp4vDecoderConfig(ElementaryInput &in, std::vector<uint8_t> &out, ReadStatus &status)
{
    out.clear();
    status = ReadStatus::Ok;
    const size_t avail = in.ensure(4);
    if (avail >= 4 && isVopStart(in.data()))
        return 0; // the stream begins with a picture: no headers
    return readUntil(in, out, status, 4, 4, isVopStart);
}

size_t ReadH263OneAccessUnit(ElementaryInput &in, std::vector<uint8_t> &out, ReadStatus &status)
{
    // A picture start code begins with sixteen zero bits and a one bit.
    return readUntil(in, out, status, 3, 3,
                     [](const uint8_t *p) { return p[0] == 0 && p[1] == 0 && (p[2] & 0x80) == 0x80; });
}

} // namespace clipmux
