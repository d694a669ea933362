#pragma once

#include "GstHandle.h"
#include "catalogue/RecordingFile.h"
#include "catalogue/StreamRecordSource.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace drivora {

inline constexpr int32_t kLoadFailed = 1;
inline constexpr const char *kStreamParserName = "CLStreamParseFilter";

// The stream parser: reads the recording file (source and demultiplexer)
// and offers the telemetry records. Its output pins are named "Video N" and
// "Audio N", in stream order, as the file's stream headers list them; the
// media pads behind them appear when the pipeline starts reading.
class StreamParser final : public IStreamParserFilter {
public:
    StreamParser();
    ~StreamParser() override;
    StreamParser(const StreamParser &) = delete;
    StreamParser &operator=(const StreamParser &) = delete;

    bool isValid() const { return bool(m_bin); }
    GstElement *element() const { return m_bin.get(); }
    GstElement *demuxer() const { return m_demuxer; }
    IStreamRecordSource *QueryRecordSource() override { return &m_file; }
    int32_t load(const QString &path); // 0, or kLoadFailed
    const RecordingFile &file() const { return m_file; }
    QStringList pinNames() const;
    bool pinIsPcm(int pin) const;

private:
    GstHandle<GstElement> m_bin; // a reference of our own, also while a pipeline holds it
    GstElement *m_source = nullptr;  // inside the bin
    GstElement *m_demuxer = nullptr; // inside the bin
    RecordingFile m_file;
};

// The stream parser's output pins whose name contains "Video".
int CountVideoPins(const StreamParser &parser);
// One for each pin whose name contains "Audio", and 1000 more for each that
// offers PCM first: 0 no sound, 1-999 compressed sound only, 1000 or more
// at least one PCM pin.
int CountAudioPins(const StreamParser &parser);

} // namespace drivora
