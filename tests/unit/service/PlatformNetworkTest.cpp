#include "Platform/Desktop/WebLink.h"
#include "Platform/Net/HTTPTransfer.h"
#include "Platform/Net/PrimaryInterface.h"
#include "Platform/Text/StringTransform.h"
#include "Service/NetworkUtils.h"
#include "ServiceTestSupport.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <gtest/gtest.h>

using namespace platform;

namespace {

struct Outcome
{
    int calls = 0;
    bool onMain = false;
    bool withReply = false;
    int status = 0;
    QByteArray header;
    QByteArray body;
    std::optional<Error> error;
};

HTTPTransfer *start(const QNetworkRequest &request, Outcome &outcome,
                    const TransferLimits &limits = TransferLimits::service(), const QByteArray &verb = "GET",
                    const QByteArray &body = {})
{
    static QNetworkAccessManager *network = new QNetworkAccessManager;
    return HTTPTransfer::start(
        *network, request, verb, body, limits,
        [&outcome](QNetworkReply *reply, const QByteArray &body, const std::optional<Error> &error) {
            ++outcome.calls;
            outcome.onMain = servicetest::onMainThread();
            outcome.withReply = reply;
            outcome.status = reply ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
            outcome.header = reply ? reply->rawHeader("X-Answer") : QByteArray();
            outcome.body = body;
            outcome.error = error;
        });
}

Outcome run(const QNetworkRequest &request, const TransferLimits &limits = TransferLimits::service(),
            const QByteArray &verb = "GET", const QByteArray &body = {})
{
    Outcome outcome;
    start(request, outcome, limits, verb, body);
    EXPECT_EQ(outcome.calls, 0) << "never completes on the caller's stack";
    EXPECT_TRUE(testsupport::waitUntil([&] { return outcome.calls > 0; }, 10000));
    testsupport::spin(30);
    EXPECT_EQ(outcome.calls, 1);
    return outcome;
}

QNetworkRequest to(const QString &url)
{
    return QNetworkRequest(QUrl(url));
}

} // namespace

TEST(HTTPTransfer, DeliversTheAnswerOnceOnTheMainThread)
{
    LocalHttpServer server([](const LocalHttpServer::Seen &) -> LocalHttpServer::Answer {
        return {"created", 201, "text/plain; charset=\"UTF-8\"", 0, {{"X-Answer", "yes"}}};
    });
    QNetworkRequest request = to(server.origin() + "/things");
    request.setRawHeader("Content-Type", "text/plain");
    const Outcome outcome = run(request, TransferLimits::service(), "PATCH", "body");
    EXPECT_TRUE(outcome.onMain);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.status, 201);
    EXPECT_EQ(outcome.header, "yes");
    EXPECT_EQ(outcome.body, "created");
    EXPECT_EQ(server.requests().front().method, "PATCH");
    EXPECT_EQ(server.requests().front().body, "body");
}

TEST(HTTPTransfer, ErrorStatusesAreAnswersWithTheirBodies)
{
    for (const int status : {400, 404, 410, 500, 503}) {
        LocalHttpServer server(LocalHttpServer::answer(status, "text/plain", "the page"));
        const Outcome outcome = run(to(server.origin() + "/missing"));
        EXPECT_FALSE(outcome.error) << status << " " << outcome.error->localizedDescription.toStdString();
        EXPECT_EQ(outcome.status, status);
        EXPECT_EQ(outcome.body, "the page");
    }
}

TEST(HTTPTransfer, CancellingReportsCancelledOnceAndOnlyWebAddressesAreSent)
{
    LocalHttpServer server;
    server.setResponder([&server](const LocalHttpServer::Seen &) {
        server.holdUntilReleased();
        return LocalHttpServer::Answer{};
    });
    Outcome running;
    HTTPTransfer *transfer = start(to(server.origin() + "/hold"), running);
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.requestCount() == 1; }));
    transfer->cancel();
    EXPECT_EQ(running.calls, 1) << "at once";
    server.release();
    testsupport::spin(100);
    EXPECT_EQ(running.calls, 1);
    EXPECT_EQ(running.error->code, QNetworkReply::OperationCanceledError);
    EXPECT_TRUE(running.body.isEmpty());

    for (const QString url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "/relative/path", "data:,x"}) {
        const Outcome outcome = run(to(url));
        ASSERT_TRUE(outcome.error) << url.toStdString();
        EXPECT_EQ(outcome.error->domain, HTTPTransfer::ErrorDomain);
        EXPECT_EQ(outcome.error->code, QNetworkReply::ProtocolUnknownError) << url.toStdString();
        EXPECT_FALSE(outcome.withReply);
    }
}

TEST(HTTPTransfer, StatusesOutsideTheHttpRangeAreErrors)
{
    for (const int status : {600, 99, 999}) {
        LocalHttpServer server([status](const LocalHttpServer::Seen &) {
            return LocalHttpServer::Answer{.raw = "HTTP/1.1 " + std::to_string(status) +
                                                  " Strange\r\nContent-Type: application/json\r\n"
                                                  "Content-Length: 2\r\nConnection: close\r\n\r\n{}"};
        });
        const Outcome outcome = run(to(server.origin() + "/odd"));
        ASSERT_TRUE(outcome.error) << status;
        EXPECT_EQ(outcome.error->localizedDescription,
                  QStringLiteral("Request failed: strange (%1)").arg(status));
        EXPECT_EQ(outcome.error->code, QNetworkReply::ProtocolFailure);
    }
}

TEST(HTTPTransfer, AnswersThatNeverEndFailAtTheSizeCapOrTheTimeLimit)
{
    struct Case
    {
        const char *what;
        LocalHttpServer::Endless endless;
        TransferLimits limits;
        int64_t code;
    };
    const std::vector<Case> cases = {
        {"a flood", LocalHttpServer::Endless::Flood, {1 << 20, 30, 30}, HTTPTransfer::BodyTooLargeError},
        {"a declared gigabyte",
         LocalHttpServer::Endless::Declared,
         {1 << 20, 30, 30},
         HTTPTransfer::BodyTooLargeError},
        // Data every 50 ms: the idle limit never fires, the total one does.
        {"a trickle", LocalHttpServer::Endless::Trickle, {1 << 20, 30, 0.6}, QNetworkReply::TimeoutError},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer server(LocalHttpServer::answer(200, "application/json", "{", c.endless));
        QElapsedTimer clock;
        clock.start();
        const Outcome outcome = run(QNetworkRequest(server.url("/endless")), c.limits);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code, c.code);
        EXPECT_TRUE(outcome.body.isEmpty());
        EXPECT_LT(clock.elapsed(), 5000);
    }
}

TEST(HTTPTransfer, OnlyWebLinksAreWebLinks)
{
    for (const char *link : {"http://127.0.0.1/a.dmg", "HTTPS://example.org/x?y=1#z", " https://h/ "})
        EXPECT_FALSE(WebLink::fromText(QString::fromUtf8(link)).isEmpty()) << link;
    for (const char *link :
         {"file:///etc/passwd", "/usr/bin/xterm", "javascript:alert(1)", "data:text/html,<script>x</script>",
          "smb://server/share", "http:///nohost", "http://exa mple.org/", "mailto:a@b.c", ""})
        EXPECT_TRUE(WebLink::fromText(QString::fromUtf8(link)).isEmpty()) << link;
}

TEST(HTTPTransfer, ContentTypeParameters)
{
    QString type;
    QString charset;
    NetworkUtils::parseContentType("Application/JSON ; Charset = gb2312 ; q=1", &type, &charset);
    EXPECT_EQ(type, "application/json");
    EXPECT_EQ(charset, "gb2312");
    NetworkUtils::parseContentType("text/html", &type, &charset);
    EXPECT_EQ(type, "text/html");
    EXPECT_TRUE(charset.isEmpty());
    NetworkUtils::parseContentType("text/plain; charset=\"utf-8\"", &type, &charset);
    EXPECT_EQ(charset, "utf-8");
    NetworkUtils::parseContentType({}, &type, &charset);
    EXPECT_TRUE(type.isEmpty());
}

// Qt has no transliteration; the User-Agent's comes from ICU.
TEST(PlatformText, TransformsFromIcu)
{
    EXPECT_EQ(StringTransform::apply("Ärger über Straße", "Any-Latin; Latin-ASCII"), "Arger uber Strasse");
    EXPECT_FALSE(StringTransform::apply("x", "No-Such-Transform"));
}

TEST(PlatformInterfaces, TheDefaultRouteNamesThePrimaryInterface)
{
    const QByteArray header =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    const QByteArray wifi = "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n";
    const QByteArray wired = "eth1\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    const QByteArray local = "eth1\t0000000A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    const QByteArray down = "eth2\t00000000\t0100000A\t0002\t0\t0\t0\t00000000\t0\t0\t0\n";
    EXPECT_EQ(PrimaryInterface::defaultRouteInterface(header + local + wifi + wired), "eth1")
        << "lowest metric";
    EXPECT_EQ(PrimaryInterface::defaultRouteInterface(header + wifi), "wlan0");
    EXPECT_EQ(PrimaryInterface::defaultRouteInterface(header + local + down), "")
        << "no usable default route";
    EXPECT_EQ(PrimaryInterface::defaultRouteInterface(""), "");
    // Never the loopback link, and only a link with a six-byte address.
    const QString ethernet = PrimaryInterface::firstEthernetInterface();
    EXPECT_NE(ethernet, "lo");
    if (!ethernet.isEmpty()) {
        EXPECT_EQ(QNetworkInterface::interfaceFromName(ethernet).hardwareAddress().size(), 17);
    }
    EXPECT_FALSE(PrimaryInterface::name().isEmpty());
}
