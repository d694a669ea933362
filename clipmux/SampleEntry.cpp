#include "SampleEntry.h"

#include "Boxes.h"

namespace clipmux {

void WriteDescriptorLength(ByteSink &sink, uint32_t length)
{
    sink.u8(uint8_t(0x80 | ((length >> 21) & 0x7F)));
    sink.u8(uint8_t(0x80 | ((length >> 14) & 0x7F)));
    sink.u8(uint8_t(0x80 | ((length >> 7) & 0x7F)));
    sink.u8(uint8_t(length & 0x7F));
}

namespace {

void writeAvcC(ByteSink &s, const SampleEntry &e)
{
    // Profile, compatibility and level come from the first SPS (its bytes 1
    // to 3), as players build their codec string from them.
    uint8_t profile = 1, compatibility = 0, level = 0;
    if (!e.sps.empty() && e.sps.front().size() >= 4) {
        profile = e.sps.front()[1];
        compatibility = e.sps.front()[2];
        level = e.sps.front()[3];
    }
    WriteBox(s, "avcC", [&](ByteSink &b) {
        b.u8(1);             // configuration version
        b.u8(profile);       // AVC profile indication
        b.u8(compatibility); // profile compatibility
        b.u8(level);         // AVC level indication
        b.u8(0xFF);          // 6 reserved bits, length size minus one = 3
        b.u8(uint8_t(0xE0 | (e.sps.size() & 0x1F))); // 3 reserved bits, SPS count
        for (const auto &sps : e.sps) {
            b.u16(uint16_t(sps.size()));
            b.put(sps.data(), sps.size());
        }
        b.u8(uint8_t(e.pps.size())); // PPS count
        for (const auto &pps : e.pps) {
            b.u16(uint16_t(pps.size()));
            b.put(pps.data(), pps.size());
        }
    });
}

void writeBtrt(ByteSink &s)
{
    WriteBox(s, "btrt", [](ByteSink &b) {
        b.u32(0);               // buffer size
        b.u32(0);               // maximum bit rate
        b.u32(kAverageBitRate); // average bit rate
    });
}

void writeEsds(ByteSink &s, const SampleEntry &e)
{
    const uint32_t L = uint32_t(e.decoderSpecificInfo.size());
    WriteFullBox(s, "esds", 0, 0, [&](ByteSink &b) {
        b.u8(0x03); // ES descriptor
        WriteDescriptorLength(b, 32 + L);
        b.u16(0); // ES ID
        b.u8(0);  // no stream dependence, URL or OCR stream; priority 0
        b.u8(0x04); // decoder config descriptor
        WriteDescriptorLength(b, 18 + L);
        b.u8(0x20);  // object type: MPEG-4 visual
        b.u8(0x11);  // visual stream, not upstream, reserved bit
        b.u24(0);    // buffer size
        b.u32(0);    // maximum bit rate
        b.u32(kAverageBitRate);
        b.u8(0x05); // decoder specific info
        WriteDescriptorLength(b, L);
        b.put(e.decoderSpecificInfo.data(), L);
        b.u8(0x06); // SL config descriptor
        WriteDescriptorLength(b, 1);
        b.u8(2); // predefined: reserved for MP4 files
    });
}

void writeD263(ByteSink &s)
{
    WriteBox(s, "d263", [](ByteSink &b) {
        b.fourcc("vtlx"); // vendor
        b.u8(0);          // decoder version
        b.u8(10);         // H.263 level
        b.u8(0);          // H.263 profile
    });
}

} // namespace

void WriteSampleEntry(ByteSink &sink, const SampleEntry &e)
{
    const char *type = e.kind == StreamH264 ? "avc1" : e.kind == StreamMp4v ? "mp4v" : "s263";
    WriteBox(sink, type, [&](ByteSink &b) {
        b.zeros(6);       // reserved
        b.u16(1);         // data reference index
        b.zeros(16);      // pre-defined and reserved
        b.u16(e.width);
        b.u16(e.height);
        b.u32(0x00480000); // 72 dpi horizontally
        b.u32(0x00480000); // 72 dpi vertically
        b.u32(0);          // reserved
        b.u16(1);          // frame count
        b.zeros(32);       // compressor name
        b.u16(0x0018);     // depth
        b.u16(0xFFFF);     // pre-defined (-1)
        switch (e.kind) {
        case StreamH264:
            writeAvcC(b, e);
            writeBtrt(b);
            break;
        case StreamMp4v:
            writeEsds(b, e);
            break;
        case StreamH263:
            writeD263(b);
            break;
        }
    });
}

} // namespace clipmux
