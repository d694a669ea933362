#include "AnnexB.h"

#include "RbspBits.h"

#include <cstring>

namespace clipmux {

size_t FindStartCode(const uint8_t *data, size_t size, size_t from)
{
    // Look for the 01 byte, then check the two zeros before it.
    size_t i = from + 2;
    while (i < size) {
        const void *hit = std::memchr(data + i, 0x01, size - i);
        if (!hit)
            return size;
        i = size_t(static_cast<const uint8_t *>(hit) - data);
        if (data[i - 1] == 0 && data[i - 2] == 0)
            return i - 2;
        ++i;
    }
    return size;
}

void ForEachNalUnit(const uint8_t *data, size_t size, const std::function<void(NalSpan)> &visit)
{
    ForEachNalUnitWhile(data, size, [&visit](NalSpan nal) {
        visit(nal);
        return true;
    });
}

void ForEachNalUnitWhile(const uint8_t *data, size_t size, const std::function<bool(NalSpan)> &visit)
{
    if (!data || size == 0)
        return;
    size_t begin = 0;
    for (;;) {
        const size_t code = FindStartCode(data, size, begin);
        size_t end = code;
        while (end > begin && data[end - 1] == 0)
            --end; // trailing zeros are never part of a NAL unit
        if (end > begin && !visit({data + begin, end - begin}))
            return;
        if (code == size)
            return;
        begin = code + 3;
    }
}

NalSpan FirstNalUnit(const uint8_t *data, size_t size)
{
    NalSpan first;
    ForEachNalUnitWhile(data, size, [&first](NalSpan nal) {
        first = nal;
        return false;
    });
    return first;
}

void AnnexBToLengthPrefixed(const uint8_t *data, size_t size, std::vector<uint8_t> &out)
{
    out.clear();
    out.reserve(size + 4);
    ForEachNalUnit(data, size, [&out](NalSpan nal) {
        const uint32_t n = uint32_t(nal.size);
        const uint8_t length[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
        out.insert(out.end(), length, length + 4);
        out.insert(out.end(), nal.data, nal.data + nal.size);
    });
}

int SliceType(NalSpan nal)
{
    if (nal.size < 2)
        return -1;
    RbspBits bits(nal);
    if (bits.ue() < 0) // first_mb_in_slice
        return -1;
    const long type = bits.ue();
    return type >= 0 && type <= 9 ? int(type) : -1;
}

int ParameterSetId(NalSpan nal)
{
    if (nal.size < 2)
        return -1;
    const int type = nal.data[0] & 0x1F;
    RbspBits bits(nal);
    if (type == 7) { // profile, constraint flags and level come first
        for (int i = 0; i < 24; ++i)
            if (bits.bit() < 0)
                return -1;
        const long id = bits.ue();
        return id >= 0 && id <= 31 ? int(id) : -1;
    }
    if (type == 8) {
        const long id = bits.ue();
        return id >= 0 && id <= 255 ? int(id) : -1;
    }
    return -1;
}

bool SliceStartsPicture(NalSpan nal)
{
    // first_mb_in_slice is the first code of the header: "1" means 0.
    return nal.size < 2 || (nal.data[1] & 0x80) != 0;
}

} // namespace clipmux
