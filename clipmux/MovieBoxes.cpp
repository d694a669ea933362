#include "MovieBoxes.h"

#include "Boxes.h"

namespace clipmux {
namespace {

constexpr uint32_t kMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000}; // identity

void writeMatrix(ByteSink &s)
{
    for (uint32_t v : kMatrix)
        s.u32(v);
}

uint32_t clamp32(uint64_t v)
{
    return v > UINT32_MAX ? UINT32_MAX : uint32_t(v);
}

} // namespace

uint64_t TrackDescription::mediaDuration() const
{
    uint64_t total = 0;
    if (timeToSample)
        for (const TimeToSample &t : *timeToSample)
            total += uint64_t(t.count) * t.delta;
    return total;
}

void WriteFtyp(ByteSink &s, bool mp4)
{
    WriteBox(s, "ftyp", [mp4](ByteSink &b) {
        if (mp4) { // ISO base media with AVC: what MP4 players look for
            b.fourcc("isom");
            b.u32(0x00000200);
            b.fourcc("isom");
            b.fourcc("iso2");
            b.fourcc("avc1");
            b.fourcc("mp41");
            return;
        }
        b.fourcc("3gp4");  // major brand: 3GPP release 4
        b.u32(0x00000200); // minor version
        b.fourcc("3gp4");  // compatible brands
        b.u32(0);
        b.u32(0);
    });
}

void WriteMoov(ByteSink &s, const TrackDescription &t)
{
    const uint32_t durationMs = clamp32(t.mediaDuration() * 1000 / t.timeScale); // movie units: 1000 a second
    WriteBox(s, "moov", [&](ByteSink &moov) {
        WriteMvhd(moov, t.creationTime, durationMs);
        WriteTrak(moov, t);
    });
}

void WriteMvhd(ByteSink &s, uint32_t creationTime, uint32_t durationMs)
{
    WriteFullBox(s, "mvhd", 0, 0, [&](ByteSink &b) {
        b.u32(creationTime); // creation time
        b.u32(creationTime); // modification time
        b.u32(1000);         // time scale
        b.u32(durationMs);   // duration of the longest track
        b.u32(0x00010000);   // rate 1.0
        b.u16(0x0100);       // volume 1.0
        b.zeros(10);         // reserved
        writeMatrix(b);
        b.zeros(24); // pre-defined
        b.u32(2);    // next track ID
    });
}

void WriteTrak(ByteSink &s, const TrackDescription &t)
{
    const uint32_t durationMs = clamp32(t.mediaDuration() * 1000 / t.timeScale);
    WriteBox(s, "trak", [&](ByteSink &trak) {
        WriteTkhd(trak, t.creationTime, durationMs, t.entry->width, t.entry->height);
        if (t.compositionOffsets && !t.compositionOffsets->empty())
            WriteEdts(trak, durationMs, t.presentationStart);
        WriteMdia(trak, t);
    });
}

void WriteTkhd(ByteSink &s, uint32_t creationTime, uint32_t durationMs, uint16_t width, uint16_t height)
{
    WriteFullBox(s, "tkhd", 0, 0x000001, [&](ByteSink &b) { // track enabled
        b.u32(creationTime);
        b.u32(creationTime);
        b.u32(1); // track ID
        b.u32(0); // reserved
        b.u32(durationMs);
        b.zeros(8); // reserved
        b.u16(0);   // layer
        b.u16(0);   // alternate group
        b.u16(0);   // volume
        b.u16(0);   // reserved
        writeMatrix(b);
        b.u32(uint32_t(width) << 16);  // width, 16.16
        b.u32(uint32_t(height) << 16); // height, 16.16
    });
}

void WriteEdts(ByteSink &s, uint32_t durationMs, uint32_t mediaTime)
{
    // One edit: the whole track, from the first picture shown.
    WriteBox(s, "edts", [&](ByteSink &edts) {
        WriteFullBox(edts, "elst", 0, 0, [&](ByteSink &b) {
            b.u32(1);          // entry count
            b.u32(durationMs); // segment duration, movie units
            b.u32(mediaTime);  // media time
            b.u16(1);          // rate 1.0
            b.u16(0);
        });
    });
}

void WriteMdia(ByteSink &s, const TrackDescription &t)
{
    WriteBox(s, "mdia", [&](ByteSink &mdia) {
        WriteMdhd(mdia, t.creationTime, t.timeScale, clamp32(t.mediaDuration()));
        WriteHdlr(mdia);
        WriteMinf(mdia, t);
    });
}

void WriteMdhd(ByteSink &s, uint32_t creationTime, uint32_t timeScale, uint32_t duration)
{
    WriteFullBox(s, "mdhd", 0, 0, [&](ByteSink &b) {
        b.u32(creationTime);
        b.u32(creationTime);
        b.u32(timeScale);
        b.u32(duration);
        b.u16(0x55C4); // language "und"
        b.u16(0);      // pre-defined
    });
}

void WriteHdlr(ByteSink &s)
{
    WriteFullBox(s, "hdlr", 0, 0, [](ByteSink &b) {
        static const char name[] = "Tessavonic Media Handler";
        b.u32(0); // pre-defined
        b.fourcc("vide");
        b.zeros(12);                                                  // reserved
        b.put(reinterpret_cast<const uint8_t *>(name), sizeof name); // with its zero byte
    });
}

void WriteMinf(ByteSink &s, const TrackDescription &t)
{
    WriteBox(s, "minf", [&](ByteSink &minf) {
        WriteVmhd(minf);
        WriteDinf(minf);
        WriteStbl(minf, t);
    });
}

void WriteVmhd(ByteSink &s)
{
    WriteFullBox(s, "vmhd", 0, 0x000001, [](ByteSink &b) {
        b.u16(0);   // graphics mode: copy
        b.zeros(6); // opcolor
    });
}

void WriteDinf(ByteSink &s)
{
    WriteBox(s, "dinf", [](ByteSink &dinf) {
        WriteFullBox(dinf, "dref", 0, 0, [](ByteSink &dref) {
            dref.u32(1);                                                 // entry count
            WriteFullBox(dref, "url ", 0, 0x000001, [](ByteSink &) {}); // media data in this file
        });
    });
}

void WriteStbl(ByteSink &s, const TrackDescription &t)
{
    WriteBox(s, "stbl", [&](ByteSink &stbl) {
        WriteStsd(stbl, *t.entry);
        WriteStts(stbl, *t.timeToSample);
        if (t.compositionOffsets && !t.compositionOffsets->empty())
            WriteCtts(stbl, *t.compositionOffsets);
        if (!t.syncSamples->empty())
            WriteStss(stbl, *t.syncSamples);
        WriteStsc(stbl);
        WriteStsz(stbl, t.sampleSizes, t.sampleCount);
        WriteStco(stbl, t.chunkOffsets, t.sampleCount);
    });
}

void WriteStsd(ByteSink &s, const SampleEntry &entry)
{
    WriteFullBox(s, "stsd", 0, 0, [&](ByteSink &b) {
        b.u32(1); // entry count
        WriteSampleEntry(b, entry);
    });
}

void WriteStts(ByteSink &s, const std::vector<TimeToSample> &runs)
{
    WriteFullBox(s, "stts", 0, 0, [&](ByteSink &b) {
        b.u32(uint32_t(runs.size()));
        for (const TimeToSample &t : runs) {
            b.u32(t.count);
            b.u32(t.delta);
        }
    });
}

void WriteCtts(ByteSink &s, const std::vector<CompositionOffset> &runs)
{
    WriteFullBox(s, "ctts", 0, 0, [&](ByteSink &b) {
        b.u32(uint32_t(runs.size()));
        for (const CompositionOffset &c : runs) {
            b.u32(c.count);
            b.u32(c.offset);
        }
    });
}

void WriteStss(ByteSink &s, const std::vector<uint32_t> &syncSamples)
{
    WriteFullBox(s, "stss", 0, 0, [&](ByteSink &b) {
        b.u32(uint32_t(syncSamples.size()));
        for (uint32_t sample : syncSamples)
            b.u32(sample);
    });
}

void WriteStsc(ByteSink &s)
{
    // One sample per chunk throughout: the compacted table has one entry.
    WriteFullBox(s, "stsc", 0, 0, [](ByteSink &b) {
        b.u32(1); // entry count
        b.u32(1); // first chunk
        b.u32(1); // samples per chunk
        b.u32(1); // sample description index
    });
}

void WriteStsz(ByteSink &s, const uint32_t *sizes, uint32_t count)
{
    WriteFullBox(s, "stsz", 0, 0, [&](ByteSink &b) {
        b.u32(0); // sizes follow
        b.u32(count);
        for (uint32_t i = 0; i < count; ++i)
            b.u32(sizes[i]);
    });
}

void WriteStco(ByteSink &s, const uint32_t *offsets, uint32_t count)
{
    WriteFullBox(s, "stco", 0, 0, [&](ByteSink &b) {
        b.u32(count);
        for (uint32_t i = 0; i < count; ++i)
            b.u32(offsets[i]);
    });
}

} // namespace clipmux
