// The hand-over between a second start and the running viewer, on real
// local sockets: the running end serves in this thread's event loop, the
// second start's blocking end runs on a thread of its own.
#include "app/InstanceChannel.h"
#include "catalogue/NativePath.h"
#include "support/Wait.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace drivora;

namespace {

// HandOver on its own thread while this one's events are handled.
HandOverResult HandOverWhileServing(const QString &path, const HandOverRequest &request, int answerMs = 20000)
{
    HandOverResult result;
    std::atomic<bool> done = false;
    std::thread second([&] {
        result = HandOver(path, request, 1000, answerMs);
        done = true;
    });
    testsupport::WaitFor([&] { return done.load(); }, 30000);
    second.join();
    return result;
}

// What a killed viewer leaves: a socket file nobody listens on.
bool LeaveDeadSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = NativeFromPath(path);
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}

} // namespace

TEST(InstanceChannel, RequestsAndAnswersTravelWhole)
{
    QTemporaryDir runtime;
    const QString path = InstanceSocketPath(runtime.path());
    EXPECT_EQ(path, runtime.filePath(QStringLiteral("MA_DV_VIEWER.socket")));
    // A socket left by a killed viewer does not keep the next from listening.
    ASSERT_TRUE(LeaveDeadSocket(path));
    EXPECT_FALSE(HandOver(path, {}, 200).connected) << "nobody listens on what was left";

    std::vector<HandOverRequest> received;
    InstanceServer::Answer later;
    InstanceServer server([&](const HandOverRequest &request, InstanceServer::Answer answer) {
        received.push_back(request);
        if (request.command == HandOverRequest::Open)
            answer({true, {}});
        else
            later = std::move(answer); // answered once the work is done
    });
    ASSERT_TRUE(server.listen(path)) << server.errorString().toStdString();

    // Paths keep their bytes, a folder name that is not UTF-8 included.
    const QString korean = PathFromNative("/media/card/\xBA\xED\xB7\xA2/DRIVE");
    HandOverResult r = HandOverWhileServing(path, {HandOverRequest::Open, {korean, QStringLiteral("/media/카드")}, {}});
    ASSERT_TRUE(r.connected);
    EXPECT_TRUE(r.reply.ok);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].command, HandOverRequest::Open);
    EXPECT_EQ(NativeFromPath(received[0].paths.value(0)), QByteArray("/media/card/\xBA\xED\xB7\xA2/DRIVE"));
    EXPECT_EQ(received[0].paths.value(1), QStringLiteral("/media/카드"));

    // A command answered later, with the window's message.
    QTimer::singleShot(300, [&] { later({false, QStringLiteral("내보내지 못했습니다.\n/x.csv: 쓸 수 없습니다")}); });
    r = HandOverWhileServing(path, {HandOverRequest::ExportList, {}, QStringLiteral("/x.csv")});
    ASSERT_TRUE(r.connected);
    EXPECT_FALSE(r.reply.ok);
    EXPECT_EQ(r.reply.message, QStringLiteral("내보내지 못했습니다.\n/x.csv: 쓸 수 없습니다"));
    EXPECT_EQ(received.back().output, QStringLiteral("/x.csv"));
    EXPECT_TRUE(received.back().paths.isEmpty());
}

TEST(InstanceChannel, ABrokenPeerIsNeverTakenForSuccess)
{
    QTemporaryDir runtime;
    const QString path = InstanceSocketPath(runtime.path());
    EXPECT_FALSE(HandOver(path, {}, 200).connected) << "no viewer runs";

    // The viewer ends before it answers.
    std::unique_ptr<InstanceServer> server;
    server = std::make_unique<InstanceServer>([&](const HandOverRequest &, InstanceServer::Answer) {
        QTimer::singleShot(100, [&] { server.reset(); });
    });
    ASSERT_TRUE(server->listen(path));
    HandOverResult r = HandOverWhileServing(path, {HandOverRequest::PrintReport, {}, QStringLiteral("/r.pdf")});
    EXPECT_TRUE(r.connected);
    EXPECT_FALSE(r.reply.ok);
    EXPECT_EQ(r.reply.message.toStdString(), "실행 중인 뷰어가 명령을 마치기 전에 끝났습니다.");

    // A viewer that never answers, within the time the second start waits.
    int asked = 0;
    InstanceServer silent([&](const HandOverRequest &, InstanceServer::Answer) { ++asked; });
    ASSERT_TRUE(silent.listen(path));
    r = HandOverWhileServing(path, {HandOverRequest::PrintReport, {}, QStringLiteral("/r.pdf")}, 500);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(r.reply.ok);
    EXPECT_EQ(r.reply.message.toStdString(), "실행 중인 뷰어가 응답하지 않습니다.");

    // Bytes that are no request are answered as such, and the next request is served.
    QByteArray answer;
    std::atomic<bool> done = false;
    std::thread garbage([&] {
        QLocalSocket s;
        s.connectToServer(path);
        if (s.waitForConnected(1000)) {
            s.write("GET / HTTP/1.0\r\n\r\n");
            while (s.waitForReadyRead(2000))
                answer += s.readAll();
            answer += s.readAll();
        }
        done = true;
    });
    testsupport::WaitFor([&] { return done.load(); });
    garbage.join();
    QByteArray payload;
    HandOverReply refused;
    ASSERT_EQ(TakeFrame(answer, payload), 1);
    ASSERT_TRUE(DecodeReply(payload, refused));
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(asked, 1) << "the handler never saw it";
}

TEST(InstanceChannel, FramesThatAreNotWholeRequests)
{
    auto payloadOf = [](QByteArray frame) {
        QByteArray payload;
        EXPECT_EQ(TakeFrame(frame, payload), 1);
        EXPECT_TRUE(frame.isEmpty());
        return payload;
    };
    const QByteArray good = EncodeRequest({HandOverRequest::PrintReport, {QStringLiteral("/card")}, QStringLiteral("/r.pdf")});
    HandOverRequest r;
    ASSERT_TRUE(DecodeRequest(payloadOf(good), r));
    EXPECT_EQ(r.command, HandOverRequest::PrintReport);

    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    QByteArray tooLong = good;
    tooLong[4] = char(0x7F);
    struct Cut {
        const char *what;
        QByteArray bytes;
        int taken;
    } cuts[] = {
        {"nothing yet", {}, 0},
        {"half a header", good.left(6), 0},
        {"header and half a payload", good.left(good.size() - 3), 0},
        {"not ours", wrongMagic, -1},
        {"longer than any request", tooLong, -1},
    };
    for (Cut c : cuts) {
        QByteArray payload;
        EXPECT_EQ(TakeFrame(c.bytes, payload), c.taken) << c.what;
    }

    // Whole frames whose payload is no request.
    struct Bad {
        const char *what;
        HandOverRequest request;
        QByteArray extra;
    } bad[] = {
        {"a report with no file", {HandOverRequest::PrintReport, {QStringLiteral("/card")}, {}}, {}},
        {"an export with no file", {HandOverRequest::ExportList, {}, {}}, {}},
        {"bytes after the request", {HandOverRequest::Open, {}, {}}, "x"},
        {"an unknown command", {HandOverRequest::Command(9), {}, {}}, {}},
    };
    for (const Bad &b : bad) {
        QByteArray payload = payloadOf(EncodeRequest(b.request)) + b.extra;
        EXPECT_FALSE(DecodeRequest(payload, r)) << b.what;
    }
    // Two frames in a row come out one at a time.
    QByteArray two = good + EncodeReply({true, QStringLiteral("보고서를 저장했습니다.")});
    QByteArray payload;
    ASSERT_EQ(TakeFrame(two, payload), 1);
    ASSERT_EQ(TakeFrame(two, payload), 1);
    HandOverReply reply;
    ASSERT_TRUE(DecodeReply(payload, reply));
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.message, QStringLiteral("보고서를 저장했습니다."));
}
