// How the viewer's and the camera's text files give their values.
#pragma once

#include <QByteArray>

#include <cstdint>

namespace drivora {

// Backspace, tab, CR and LF taken off both ends (not the space).
QByteArray StripLineEnds(QByteArray text);

// As the C library reads a number: optional blanks and a sign, then digits;
// 0 when there are none. Values beyond 32 bits are held at the limits.
int32_t LeadingInteger(const QByteArray &text);

} // namespace drivora
