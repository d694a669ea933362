// Big-endian output for the box writer.
//
// Every box is written by one function that takes a sink. Run into a
// CountingSink it measures the box; run into a file sink it writes it. The
// same code does both, so the size in a box header always equals the bytes
// that follow.
#pragma once

#include <cstddef>
#include <cstdint>

namespace clipmux {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void put(const uint8_t *data, size_t size) = 0;
    virtual uint64_t written() const = 0;

    void u8(uint8_t v) { put(&v, 1); }
    void u16(uint16_t v)
    {
        const uint8_t b[2] = {uint8_t(v >> 8), uint8_t(v)};
        put(b, 2);
    }
    void u24(uint32_t v)
    {
        const uint8_t b[3] = {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        put(b, 3);
    }
    void u32(uint32_t v)
    {
        const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        put(b, 4);
    }
    void fourcc(const char *type) { put(reinterpret_cast<const uint8_t *>(type), 4); }
    void zeros(size_t n)
    {
        static const uint8_t z[64] = {};
        while (n > 0) {
            const size_t k = n < sizeof z ? n : sizeof z;
            put(z, k);
            n -= k;
        }
    }
};

class CountingSink final : public ByteSink {
public:
    void put(const uint8_t *, size_t size) override { m_count += size; }
    uint64_t written() const override { return m_count; }

private:
    uint64_t m_count = 0;
};

} // namespace clipmux
