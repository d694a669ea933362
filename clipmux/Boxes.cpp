#include "Boxes.h"

#include <cassert>
#include <stdexcept>

namespace clipmux {

void WriteBox(ByteSink &sink, const char *type, const BoxBody &body)
{
    CountingSink measure;
    body(measure);
    const uint64_t size = 8 + measure.written();
    if (size > UINT32_MAX)
        throw std::length_error("box too large");
    sink.u32(uint32_t(size));
    sink.fourcc(type);
    [[maybe_unused]] const uint64_t before = sink.written();
    body(sink);
    assert(sink.written() - before == measure.written());
}

void WriteFullBox(ByteSink &sink, const char *type, uint8_t version, uint32_t flags, const BoxBody &body)
{
    WriteBox(sink, type, [&](ByteSink &s) {
        s.u8(version);
        s.u24(flags);
        body(s);
    });
}

} // namespace clipmux
