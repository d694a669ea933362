// How a second start of the viewer hands its paths and command over to the
// viewer that runs: a local socket per user beside the instance lock, one
// request and one answer a connection. No widgets: the window's side only
// receives requests and answers them when the work is done.
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace drivora {

struct HandOverRequest {
    enum Command : quint8 {
        Open = 1,        // the paths as if dropped on the list; the window comes to the front
        PrintReport = 2, // the paths opened (when any), then the report into `output`
        ExportList = 3,  // the paths opened (when any), then the whole list into `output`
    };
    Command command = Open;
    QStringList paths; // absolute; bytes that are not UTF-8 travel as they are (NativePath)
    QString output;
};

// Whether the work was done; the message is the one the window would have
// shown (or why it was not done).
struct HandOverReply {
    bool ok = false;
    QString message;
};

// One frame: "DRV1", the payload's length (32 bits, big-endian), the payload.
inline constexpr quint32 kHandOverMagic = 0x44525631;
inline constexpr quint32 kHandOverMaxPayload = 16u << 20;
QByteArray EncodeRequest(const HandOverRequest &request);
QByteArray EncodeReply(const HandOverReply &reply);
// The payload of a whole frame at the start of `bytes`: 1 when one was
// taken (and removed), 0 when more bytes are needed, -1 when it is no frame.
int TakeFrame(QByteArray &bytes, QByteArray &payload);
bool DecodeRequest(const QByteArray &payload, HandOverRequest &request);
bool DecodeReply(const QByteArray &payload, HandOverReply &reply);

// The socket of the viewer of this user: in `folder`, or in the user's
// runtime folder where the instance lock is.
QString InstanceSocketPath(const QString &folder = QString());

// The running viewer's end. The handler gets each request with a way to
// answer it, now or once the work is done; an answer after the second start
// went away is dropped.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(const HandOverReply &)>;
    using Handler = std::function<void(const HandOverRequest &, Answer)>;

    explicit InstanceServer(Handler handler, QObject *parent = nullptr);
    // Listens at `path`, only for this user. Whoever calls it holds the
    // instance lock, so a socket found there was left by a viewer that was
    // killed: it is removed first.
    bool listen(const QString &path);
    QString errorString() const { return m_server.errorString(); }
    QString path() const { return m_server.fullServerName(); }

private:
    void accept();

    QLocalServer m_server;
    Handler m_handler;
};

// The second start's end: sends the request to the viewer listening at
// `path` and waits for its answer (answerMs < 0: as long as the viewer runs).
struct HandOverResult {
    bool connected = false; // false: nobody listens there (yet)
    HandOverReply reply;
};
HandOverResult HandOver(const QString &path, const HandOverRequest &request, int connectMs = 1000, int answerMs = -1);

} // namespace drivora
