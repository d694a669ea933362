#include "StreamParser.h"

#include "catalogue/NativePath.h"

namespace drivora {

StreamParser::StreamParser()
{
    GstHandle<GstElement> source = MakeElement("filesrc");
    GstHandle<GstElement> demuxer = MakeElement("avidemux");
    if (!source || !demuxer)
        return;
    GstHandle<GstElement> bin(GST_ELEMENT(gst_object_ref_sink(gst_bin_new(kStreamParserName))));
    m_source = source.get();
    m_demuxer = demuxer.get();
    if (!gst_bin_add(GST_BIN(bin.get()), source.release()) || !gst_bin_add(GST_BIN(bin.get()), demuxer.release()) ||
        !gst_element_link(m_source, m_demuxer)) {
        m_source = m_demuxer = nullptr;
        return;
    }
    m_bin = std::move(bin);
}

StreamParser::~StreamParser() = default;

int32_t StreamParser::load(const QString &path)
{
    // The file is checked (a regular file, a recording) before the media
    // source ever opens it.
    if (!m_bin || !m_file.open(path))
        return kLoadFailed;
    g_object_set(m_source, "location", NativeFromPath(path).constData(), nullptr);
    return 0;
}

QStringList StreamParser::pinNames() const
{
    QStringList names;
    int video = 0, audio = 0;
    for (const RecordingStream &s : m_file.streams()) {
        if (s.type == "vids")
            names << QStringLiteral("Video %1").arg(++video);
        else if (s.type == "auds")
            names << QStringLiteral("Audio %1").arg(++audio);
    }
    return names;
}

bool StreamParser::pinIsPcm(int pin) const
{
    int i = 0;
    for (const RecordingStream &s : m_file.streams()) {
        if (s.type != "vids" && s.type != "auds")
            continue;
        if (i++ == pin)
            return s.type == "auds" && s.formatTag == 1;
    }
    return false;
}

int CountVideoPins(const StreamParser &parser)
{
    int count = 0;
    for (const QString &pin : parser.pinNames())
        count += pin.contains(QLatin1String("Video"), Qt::CaseSensitive);
    return count;
}

int CountAudioPins(const StreamParser &parser)
{
    int count = 0;
    const QStringList pins = parser.pinNames();
    for (int i = 0; i < pins.size(); ++i)
        if (pins[i].contains(QLatin1String("Audio"), Qt::CaseSensitive))
            count += 1 + (parser.pinIsPcm(i) ? 1000 : 0);
    return count;
}

} // namespace drivora
