#include "InstanceChannel.h"

#include "ViewerIds.h"
#include "catalogue/NativePath.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QtEndian>

namespace drivora {
namespace {

QByteArray Frame(const QByteArray &payload)
{
    QByteArray frame(8, Qt::Uninitialized);
    qToBigEndian<quint32>(kHandOverMagic, frame.data());
    qToBigEndian<quint32>(quint32(payload.size()), frame.data() + 4);
    return frame + payload;
}

QDataStream &Versioned(QDataStream &stream)
{
    stream.setVersion(QDataStream::Qt_6_0);
    return stream;
}

} // namespace

QByteArray EncodeRequest(const HandOverRequest &request)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    Versioned(out) << quint8(request.command) << quint32(request.paths.size());
    for (const QString &path : request.paths)
        out << NativeFromPath(path);
    out << NativeFromPath(request.output);
    return Frame(payload);
}

QByteArray EncodeReply(const HandOverReply &reply)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    Versioned(out) << reply.ok << reply.message;
    return Frame(payload);
}

int TakeFrame(QByteArray &bytes, QByteArray &payload)
{
    if (bytes.size() >= 4 && qFromBigEndian<quint32>(bytes.constData()) != kHandOverMagic)
        return -1;
    if (bytes.size() < 8)
        return 0;
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + 4);
    if (length > kHandOverMaxPayload)
        return -1;
    if (quint64(bytes.size()) < 8 + quint64(length))
        return 0;
    payload = bytes.mid(8, length);
    bytes.remove(0, 8 + length);
    return 1;
}

bool DecodeRequest(const QByteArray &payload, HandOverRequest &request)
{
    QDataStream in(payload);
    quint8 command = 0;
    quint32 count = 0;
    Versioned(in) >> command >> count;
    if (in.status() != QDataStream::Ok || command < HandOverRequest::Open || command > HandOverRequest::ExportList ||
        count > kHandOverMaxPayload / 4)
        return false;
    HandOverRequest r;
    r.command = HandOverRequest::Command(command);
    for (quint32 i = 0; i < count; ++i) {
        QByteArray bytes;
        in >> bytes;
        if (in.status() != QDataStream::Ok || bytes.isEmpty())
            return false;
        r.paths << PathFromNative(bytes);
    }
    QByteArray output;
    in >> output;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return false;
    r.output = PathFromNative(output);
    if (r.command != HandOverRequest::Open && r.output.isEmpty())
        return false;
    request = std::move(r);
    return true;
}

bool DecodeReply(const QByteArray &payload, HandOverReply &reply)
{
    QDataStream in(payload);
    HandOverReply r;
    Versioned(in) >> r.ok >> r.message;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return false;
    reply = std::move(r);
    return true;
}

QString InstanceSocketPath(const QString &folder)
{
    QString where = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
    if (where.isEmpty())
        where = QDir::tempPath();
    return QDir(where).filePath(QString::fromLatin1(ids::kInstanceSocketName));
}

InstanceServer::InstanceServer(Handler handler, QObject *parent) : QObject(parent), m_handler(std::move(handler))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &InstanceServer::accept);
}

bool InstanceServer::listen(const QString &path)
{
    QLocalServer::removeServer(path);
    return m_server.listen(path);
}

void InstanceServer::accept()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        auto taken = std::make_shared<bool>(false);
        auto read = [this, socket, buffer, taken] {
            if (*taken)
                return;
            *buffer += socket->readAll();
            QByteArray payload;
            const int got = TakeFrame(*buffer, payload);
            if (got == 0)
                return;
            *taken = true;
            HandOverRequest request;
            if (got < 0 || !DecodeRequest(payload, request)) {
                socket->write(EncodeReply({false, QString::fromUtf8(ids::kInstanceBadRequest)}));
                socket->disconnectFromServer();
                return;
            }
            QPointer<QLocalSocket> to(socket);
            m_handler(request, [to](const HandOverReply &reply) {
                if (!to || to->state() != QLocalSocket::ConnectedState)
                    return; // the second start went away
                to->write(EncodeReply(reply));
                to->disconnectFromServer(); // once the answer is written
            });
        };
        connect(socket, &QLocalSocket::readyRead, socket, read);
        if (socket->bytesAvailable() > 0)
            read();
    }
}

HandOverResult HandOver(const QString &path, const HandOverRequest &request, int connectMs, int answerMs)
{
    HandOverResult result;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(connectMs))
        return result;
    result.connected = true;
    socket.write(EncodeRequest(request));
    const QDeadlineTimer deadline = answerMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(answerMs);
    QByteArray buffer;
    for (;;) {
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(100);
        buffer += socket.readAll();
        QByteArray payload;
        const int got = TakeFrame(buffer, payload);
        if (got > 0 && DecodeReply(payload, result.reply))
            return result;
        if (got != 0) {
            result.reply = {false, QString::fromUtf8(ids::kInstanceBadRequest)};
            return result;
        }
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0) {
            result.reply = {false, QString::fromUtf8(ids::kInstanceEnded)};
            return result;
        }
        if (deadline.hasExpired()) {
            result.reply = {false, QString::fromUtf8(ids::kInstanceNoAnswer)};
            return result;
        }
        const qint64 left = deadline.isForever() ? 1000 : std::min<qint64>(deadline.remainingTime(), 1000);
        socket.waitForReadyRead(int(std::max<qint64>(left, 1)));
    }
}

} // namespace drivora
