#pragma once

#include <cstdint>

namespace drivora {

// Results of GetNextRecord.
inline constexpr int32_t kRecordCopied = 0;
inline constexpr int32_t kNoMoreRecords = 38;
inline constexpr int32_t kRecordFailed = int32_t(0x80004005);

// The stream parser's record interface: hands out the telemetry records of
// the open recording one by one, in file order.
class IStreamRecordSource {
public:
    virtual ~IStreamRecordSource() = default;
    // A setting of the parser, given once before the file is loaded.
    virtual int32_t SetParserFlag(uint32_t flag) = 0;
    // buffer: kRecordBufferSize bytes, zero-filled by the caller. size: in,
    // the buffer size; out, the bytes copied. stampMs: out, the record's
    // media time. Returns kRecordCopied, kNoMoreRecords, or another value
    // when no record was copied.
    virtual int32_t GetNextRecord(uint8_t *buffer, uint32_t *size, uint32_t *stampMs) = 0;
};

inline constexpr uint32_t kRecordBufferSize = 1024;

// The stream parser as the telemetry drain sees it: the record interface is
// asked for afresh for every record, and may be missing.
class IStreamParserFilter {
public:
    virtual ~IStreamParserFilter() = default;
    virtual IStreamRecordSource *QueryRecordSource() = 0;
};

} // namespace drivora
