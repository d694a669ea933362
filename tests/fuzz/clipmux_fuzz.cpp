// libFuzzer target: arbitrary bytes through a reader of each stream kind and
// the writer, as the program runs them. The first byte picks the kind.
#include "Mp4Writer.h"
#include "SampleEntry.h"
#include "StreamReaders.h"

#include <cstdio>
#include <string>
#include <unistd.h>

using namespace clipmux;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const StreamKind kind = StreamKind(1 + data[0] % 3);
    // A small bound makes the too-large paths reachable.
    const size_t maxUnit = (data[1] & 1) ? 4096 : kMaxAccessUnitSize;
    std::FILE *in = fmemopen(const_cast<uint8_t *>(data + 2), size - 2, "rb");
    if (!in)
        return 0;
    static const std::string out = "/tmp/clipmux-fuzz-" + std::to_string(::getpid()) + ".3gp";

    ElementaryInput input(in, maxUnit);
    H264Reader h264(input);
    std::vector<uint8_t> unit;
    ReadStatus status = ReadStatus::Ok;
    std::vector<uint8_t> config;
    H264ParameterSets sets;
    if (kind == StreamH264)
        ReadH264DecoderConfig(h264, config, &sets);
    else if (kind == StreamMp4v)
        ReadMp4vDecoderConfig(input, config, status);

    Mp4WrConfig cfg;
    cfg.videoKind = kind;
    cfg.decoderConfig = config.data();
    cfg.decoderConfigSize = int32_t(config.size());
    cfg.width = 1 + data[1];
    cfg.height = 1 + data[0];
    cfg.sizeLimit = (data[1] & 2) ? 2000 : 0;
    Mp4Writer *w = Mp4FileOpenWr(out.c_str(), cfg);
    H264PictureOrder h264Order;
    Mp4vPictureOrder mp4vOrder;
    h264Order.takeParameterSets(config.data(), config.size());
    uint64_t t = 0;
    for (int i = 0; i < 10000; ++i) {
        size_t n = 0;
        if (kind == StreamH264) {
            n = ReadH264OneAccessUnit(h264, unit, &sets);
            for (const std::vector<uint8_t> &set : sets.newSets) {
                Mp4FileAddParameterSet(w, set.data(), set.size());
                h264Order.takeParameterSets(set.data(), set.size());
            }
        } else if (kind == StreamMp4v) {
            n = ReadMp4vOneAccessUnit(input, unit, status);
        } else {
            n = ReadH263OneAccessUnit(input, unit, status);
        }
        if (n == 0)
            break;
        PictureOrder order{int64_t(t), false};
        if (kind == StreamH264)
            order = h264Order.next(unit.data(), n);
        else if (kind == StreamMp4v)
            order = mp4vOrder.next(unit.data(), n);
        if (Mp4FileWriteSampleInOrder(w, unit.data(), n, t, order) < 0 && (data[1] & 4))
            break;
        t += 1 + (data[0] & 0x3F);
    }
    Mp4FileWriteEnd(w, t);
    Mp4FileCloseWr(w);
    std::fclose(in);
    return 0;
}
