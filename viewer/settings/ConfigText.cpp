#include "ConfigText.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace drivora {

QByteArray StripLineEnds(QByteArray text)
{
    auto strip = [](char c) { return c == '\b' || c == '\t' || c == '\r' || c == '\n'; };
    qsizetype begin = 0, end = text.size();
    while (begin < end && strip(text[begin]))
        ++begin;
    while (end > begin && strip(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

int32_t LeadingInteger(const QByteArray &text)
{
    const long long v = std::strtoll(text.constData(), nullptr, 10);
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

} // namespace drivora
