// libFuzzer target: arbitrary bytes as what reaches the running viewer's
// socket (or comes back to a second start): frames taken one after the
// other, each read as a request and as an answer; a request read is written
// again and must read back the same.
#include "app/InstanceChannel.h"

using namespace drivora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray payload;
    while (TakeFrame(bytes, payload) == 1) {
        HandOverRequest request;
        if (DecodeRequest(payload, request)) {
            QByteArray again = EncodeRequest(request), back;
            HandOverRequest same;
            if (TakeFrame(again, back) != 1 || !DecodeRequest(back, same) || same.command != request.command ||
                same.paths != request.paths || same.output != request.output)
                __builtin_trap();
        }
        HandOverReply reply;
        (void)DecodeReply(payload, reply);
    }
    return 0;
}
