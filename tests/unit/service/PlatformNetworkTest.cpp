#include "LocalHttpServer.h"
#include "Platform/Desktop/WebLink.h"
#include "Platform/Net/HTTPTransfer.h"
#include "Platform/Net/HTTPURLResponse.h"
#include "Platform/Net/NetworkInterfaces.h"
#include "Platform/Net/PrimaryInterface.h"
#include "Platform/Runtime/Dispatch.h"
#include "Platform/Text/RegularExpression.h"
#include "Platform/Text/StringTransform.h"
#include "Platform/Text/TextEncoding.h"
#include "RawHttpServer.h"
#include "ServiceTestSupport.h"
#include "support/EndlessServer.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <gtest/gtest.h>

using namespace platform;

namespace {

struct Outcome
{
    int calls = 0;
    bool onMain = false;
    HTTPURLResponsePtr response;
    QByteArray body;
    std::optional<Error> error;
};

HTTPTransfer *start(const URLRequest &request, Outcome &outcome,
                    const TransferLimits &limits = TransferLimits::service())
{
    static QNetworkAccessManager *network = new QNetworkAccessManager;
    return HTTPTransfer::start(*network, request, limits,
                               [&outcome](const HTTPURLResponsePtr &response, const QByteArray &body,
                                          const std::optional<Error> &error) {
                                   ++outcome.calls;
                                   outcome.onMain = Dispatch::isMainThread();
                                   outcome.response = response;
                                   outcome.body = body;
                                   outcome.error = error;
                               });
}

Outcome run(const URLRequest &request, const TransferLimits &limits = TransferLimits::service())
{
    Outcome outcome;
    start(request, outcome, limits);
    EXPECT_EQ(outcome.calls, 0) << "never completes on the caller's stack";
    EXPECT_TRUE(testsupport::waitUntil([&] { return outcome.calls > 0; }, 10000));
    testsupport::spin(30);
    EXPECT_EQ(outcome.calls, 1);
    return outcome;
}

} // namespace

TEST(HTTPTransfer, DeliversTheAnswerOnceOnTheMainThread)
{
    LocalHttpServer server([](const httplib::Request &, httplib::Response &response) {
        response.status = 201;
        response.set_header("X-Answer", "yes");
        response.set_content("created", "text/plain; charset=\"UTF-8\"");
    });
    URLRequest request(QUrl(server.origin() + "/things"));
    request.setHttpMethod(QStringLiteral("PATCH"));
    request.setHttpBody("body");
    request.setValueForHTTPHeaderField(QStringLiteral("text/plain"), QStringLiteral("Content-Type"));
    const Outcome outcome = run(request);
    EXPECT_TRUE(outcome.onMain);
    EXPECT_FALSE(outcome.error);
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode(), 201);
    EXPECT_EQ(outcome.response->valueForHTTPHeaderField("x-answer"), "yes");
    EXPECT_EQ(outcome.response->mimeType(), "text/plain");
    EXPECT_EQ(outcome.response->textEncodingName(), "UTF-8");
    EXPECT_EQ(outcome.body, "created");
    EXPECT_EQ(server.requests().front().method, "PATCH");
    EXPECT_EQ(server.requests().front().body, "body");
}

TEST(HTTPTransfer, CancellingReportsCancelledOnceAndOnlyWebAddressesAreSent)
{
    LocalHttpServer server;
    server.setResponder([&server](const httplib::Request &, httplib::Response &response) {
        server.holdUntilReleased();
        response.status = 200;
    });
    Outcome running;
    HTTPTransfer *transfer = start(URLRequest(QUrl(server.origin() + "/hold")), running);
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.requestCount() == 1; }));
    transfer->cancel();
    server.release();
    testsupport::spin(100);
    EXPECT_EQ(running.calls, 1);
    EXPECT_EQ(running.error->code, HTTPTransfer::Cancelled);
    EXPECT_TRUE(running.body.isEmpty());

    for (const auto &[url, code] :
         std::vector<std::pair<QString, int64_t>>{{"file:///etc/passwd", HTTPTransfer::UnsupportedURL},
                                                  {"ftp://127.0.0.1/x", HTTPTransfer::UnsupportedURL},
                                                  {"/relative/path", HTTPTransfer::BadURL}}) {
        const Outcome outcome = run(URLRequest(QUrl(url)));
        ASSERT_TRUE(outcome.error) << url.toStdString();
        EXPECT_EQ(outcome.error->code, code) << url.toStdString();
        EXPECT_FALSE(outcome.response);
    }
}

TEST(HTTPTransfer, StatusesOutsideTheHttpRangeAreErrors)
{
    for (const int status : {600, 99, 999}) {
        RawHttpServer server("HTTP/1.1 " + std::to_string(status) +
                             " Strange\r\nContent-Type: application/json\r\nContent-Length: 2\r\n"
                             "Connection: close\r\n\r\n{}");
        const Outcome outcome = run(URLRequest(QUrl(server.origin() + "/odd")));
        ASSERT_TRUE(outcome.error) << status;
        EXPECT_EQ(outcome.error->localizedDescription,
                  QStringLiteral("Request failed: strange (%1)").arg(status));
        EXPECT_EQ(outcome.error->code, HTTPTransfer::BadServerResponse);
    }
}

TEST(HTTPTransfer, AnswersThatNeverEndFailAtTheSizeCapOrTheTimeLimit)
{
    struct Case
    {
        const char *what;
        EndlessServer::Pace pace;
        TransferLimits limits;
        int64_t code;
    };
    const std::vector<Case> cases = {
        {"a flood", EndlessServer::Pace::Flood, {1 << 20, 30, 30}, HTTPTransfer::DataLengthExceedsMaximum},
        {"a declared gigabyte",
         EndlessServer::Pace::Declared,
         {1 << 20, 30, 30},
         HTTPTransfer::DataLengthExceedsMaximum},
        // Data every 50 ms: the idle limit never fires, the total one does.
        {"a trickle", EndlessServer::Pace::Trickle, {1 << 20, 30, 0.6}, HTTPTransfer::TimedOut},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EndlessServer server(c.pace, "application/json; charset=utf-8", "{");
        QElapsedTimer clock;
        clock.start();
        const Outcome outcome = run(URLRequest(server.url("/endless")), c.limits);
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
    HTTPURLResponse::parseContentType(QStringLiteral("Application/JSON ; Charset = gb2312 ; q=1"), &type,
                                      &charset);
    EXPECT_EQ(type, "application/json");
    EXPECT_EQ(charset, "gb2312");
    HTTPURLResponse::parseContentType(QStringLiteral("text/html"), &type, &charset);
    EXPECT_EQ(type, "text/html");
    EXPECT_TRUE(charset.isEmpty());
    const HTTPURLResponse bare(QUrl("http://h/"), 204, QString(), {});
    EXPECT_TRUE(bare.mimeType().isEmpty());
    EXPECT_EQ(bare.localizedStatusText(), "success");
}

TEST(PlatformText, CharsetsTransformsAndExpressions)
{
    EXPECT_EQ(TextEncoding::decode("\xc4\xe3\xba\xc3", "GB2312"), QStringLiteral("你好"));
    EXPECT_EQ(TextEncoding::decode("caf\xc3\xa9", "utf8"), QStringLiteral("café"));
    EXPECT_EQ(TextEncoding::decode("", "UTF-8"), QStringLiteral(""));
    EXPECT_FALSE(TextEncoding::decode("\xff\xfe\xfd", "UTF-8"));
    EXPECT_FALSE(TextEncoding::decode("abc", "no-such-charset"));
    EXPECT_TRUE(TextEncoding::canonicalName("x-unknown").isEmpty());

    EXPECT_EQ(StringTransform::apply("Ärger über Straße", "Any-Latin; Latin-ASCII"), "Arger uber Strasse");
    EXPECT_FALSE(StringTransform::apply("x", "No-Such-Transform"));

    bool valid = true;
    EXPECT_FALSE(RegularExpression::matchesWholeText("([a-z", "abc", &valid));
    EXPECT_FALSE(valid);
    EXPECT_TRUE(RegularExpression::matchesWholeText("[a-z]+", "abc", &valid));
    EXPECT_TRUE(valid);
    EXPECT_FALSE(RegularExpression::matchesWholeText("[a-z]+", "abc1"));
    EXPECT_TRUE(RegularExpression::matchesWholeText("\\p{Han}+", "中文"));
}

TEST(PlatformInterfaces, LoopbackAndMissingInterfaces)
{
    bool listRead = false;
    EXPECT_TRUE(NetworkInterfaces::ipv4Addresses("lo", &listRead).contains("127.0.0.1"));
    EXPECT_TRUE(listRead);
    EXPECT_GT(NetworkInterfaces::indexOf("lo"), 0u);
    NetworkInterfaces::Failure failure = NetworkInterfaces::Failure::OutOfMemory;
    const auto loopback = NetworkInterfaces::hardwareAddress("lo", &failure);
    ASSERT_TRUE(loopback);
    EXPECT_EQ(*loopback, (NetworkInterfaces::HardwareAddress{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(failure, NetworkInterfaces::Failure::None);

    EXPECT_EQ(NetworkInterfaces::indexOf("nosuchif0"), 0u);
    EXPECT_TRUE(NetworkInterfaces::ipv4Addresses("nosuchif0").isEmpty());
    EXPECT_FALSE(NetworkInterfaces::hardwareAddress("nosuchif0", &failure));
    EXPECT_EQ(failure, NetworkInterfaces::Failure::NoSuchInterface);
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
    EXPECT_NE(PrimaryInterface::firstEthernetInterface(), "lo");
}
