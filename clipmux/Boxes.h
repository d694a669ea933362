#pragma once

#include "ByteSink.h"

#include <functional>

namespace clipmux {

using BoxBody = std::function<void(ByteSink &)>;

// A box: 32-bit size (header included), type, body. The body runs once into a
// counting sink to measure it, then once into the real sink.
void WriteBox(ByteSink &sink, const char *type, const BoxBody &body);
// A full box adds a version byte and 24 flag bits after the type.
void WriteFullBox(ByteSink &sink, const char *type, uint8_t version, uint32_t flags, const BoxBody &body);

} // namespace clipmux
