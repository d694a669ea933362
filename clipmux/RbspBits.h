// Bits of an H.264 NAL unit's payload, with emulation prevention bytes
// removed, read as the syntax tables of parameter sets and slice headers
// describe them. Reading past the end gives -1, never a crash.
#pragma once

#include "AnnexB.h"

#include <cstdint>

namespace clipmux {

class RbspBits {
public:
    // Starts after the one-byte NAL unit header.
    explicit RbspBits(NalSpan nal) : m_data(nal.data), m_size(nal.size), m_pos(1) {}

    int bit()
    {
        if (m_bit == 0) {
            if (!nextByte())
                return -1;
        }
        --m_bit;
        return (m_current >> m_bit) & 1;
    }
    // n bits (n at most 32) as an unsigned number; -1 when the data runs out.
    int64_t bits(int n)
    {
        int64_t value = 0;
        for (int i = 0; i < n; ++i) {
            const int b = bit();
            if (b < 0)
                return -1;
            value = (value << 1) | b;
        }
        return value;
    }
    // Unsigned Exp-Golomb code; -1 when the data runs out or is too long.
    long ue()
    {
        int zeros = 0;
        for (;;) {
            const int b = bit();
            if (b < 0)
                return -1;
            if (b == 1)
                break;
            if (++zeros > 31)
                return -1;
        }
        const int64_t value = bits(zeros);
        return value < 0 ? -1 : long((int64_t(1) << zeros) - 1 + value);
    }
    // Signed Exp-Golomb code; `ok` turns false when the data runs out.
    long se(bool &ok)
    {
        const long k = ue();
        if (k < 0) {
            ok = false;
            return 0;
        }
        return (k & 1) ? (k + 1) / 2 : -(k / 2);
    }

private:
    bool nextByte()
    {
        if (m_pos >= m_size)
            return false;
        if (m_zeros >= 2 && m_data[m_pos] == 0x03) { // emulation prevention byte
            m_zeros = 0;
            if (++m_pos >= m_size)
                return false;
        }
        m_current = m_data[m_pos++];
        m_zeros = m_current == 0 ? m_zeros + 1 : 0;
        m_bit = 8;
        return true;
    }

    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos;
    uint8_t m_current = 0;
    int m_bit = 0;
    int m_zeros = 0;
};

} // namespace clipmux
