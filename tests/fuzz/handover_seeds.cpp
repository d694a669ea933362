// Writes the hand-over fuzzer's seeds into a folder: each command as a
// second start sends it, and an answer.
#include "app/InstanceChannel.h"
#include "catalogue/NativePath.h"

#include <QFile>

using namespace drivora;

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const QByteArray folder = argv[1];
    const QByteArray seeds[] = {
        EncodeRequest({HandOverRequest::Open, {QStringLiteral("/media/card"), PathFromNative("/media/\xBA\xED\xB7\xA2")}, {}}),
        EncodeRequest({HandOverRequest::PrintReport, {QStringLiteral("/media/card")}, QStringLiteral("/tmp/r.pdf")}),
        EncodeRequest({HandOverRequest::ExportList, {}, QStringLiteral("/tmp/list.csv")}) +
            EncodeReply({false, QStringLiteral("내보내지 못했습니다.")}),
    };
    int n = 0;
    for (const QByteArray &seed : seeds) {
        QFile f(QString::fromLocal8Bit(folder + "/seed-" + QByteArray::number(n++)));
        if (!f.open(QIODevice::WriteOnly) || f.write(seed) != seed.size())
            return 1;
    }
    return 0;
}
