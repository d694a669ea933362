// H.264 byte-stream helpers: NAL units separated by start codes (00 00 01,
// or 00 00 00 01).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace clipmux {

struct NalSpan {
    const uint8_t *data = nullptr; // first byte: the NAL unit header
    size_t size = 0;
};

// Position of the next 00 00 01 at or after `from`, or `size` when none.
size_t FindStartCode(const uint8_t *data, size_t size, size_t from);

// Calls visit for each non-empty NAL unit of a byte stream. Bytes before the
// first start code form a NAL unit of their own, so that nothing handed over
// is lost; zero bytes before a start code belong to the start code.
void ForEachNalUnit(const uint8_t *data, size_t size, const std::function<void(NalSpan)> &visit);
// The same until visit returns false.
void ForEachNalUnitWhile(const uint8_t *data, size_t size, const std::function<bool(NalSpan)> &visit);

NalSpan FirstNalUnit(const uint8_t *data, size_t size);

// Rewrites a byte stream into NAL units each preceded by its 32-bit
// big-endian length, as stored in "avc1" samples.
void AnnexBToLengthPrefixed(const uint8_t *data, size_t size, std::vector<uint8_t> &out);

// Reads the slice type of a slice NAL unit (types 1 and 5) from its header:
// 0-9, or -1 when the header cannot be read.
int SliceType(NalSpan nal);
// The id of a sequence (type 7: 0-31) or picture (type 8: 0-255) parameter
// set; -1 for other units or a header that cannot be read.
int ParameterSetId(NalSpan nal);
// first_mb_in_slice is 0: the slice begins a new picture (streams without
// arbitrary slice order).
bool SliceStartsPicture(NalSpan nal);

} // namespace clipmux
