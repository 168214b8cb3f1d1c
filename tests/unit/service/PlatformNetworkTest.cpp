#include "LocalHttpServer.h"
#include "Platform/Dispatch.h"
#include "Platform/HTTPURLResponse.h"
#include "Platform/NetworkInterfaces.h"
#include "Platform/RegularExpression.h"
#include "Platform/StringTransform.h"
#include "Platform/TextEncoding.h"
#include "Platform/URLSession.h"
#include "RawHttpServer.h"
#include "ServiceTestSupport.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct Completion
{
    int calls = 0;
    bool onMain = false;
    HTTPURLResponsePtr response;
    DataPtr data;
    std::optional<Error> error;
};

// A session that delivers on the main thread, so a test can wait for completions in its event loop.
URLSession &mainSession()
{
    static URLSession *session =
        new URLSession([](std::function<void()> block) { Dispatch::main(std::move(block)); });
    return *session;
}

URLSessionTaskPtr taskFor(const URLRequest &request, Completion &completion)
{
    return mainSession().dataTaskWithRequest(
        request, [&completion](const URLSessionTaskPtr &task, const HTTPURLResponsePtr &response,
                               const DataPtr &data, const std::optional<Error> &error) {
            ++completion.calls;
            completion.onMain = Dispatch::isMainThread();
            completion.response = response;
            completion.data = data;
            completion.error = error;
            EXPECT_EQ(task->state(), URLSessionTask::State::Completed);
        });
}

} // namespace

TEST(URLSessionTransport, TaskRunsFromSuspendedToCompletedWithTheAnswer)
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
    Completion completion;
    auto task = taskFor(request, completion);
    EXPECT_EQ(task->state(), URLSessionTask::State::Suspended);
    testsupport::spin(50);
    EXPECT_EQ(server.requestCount(), 0u); // nothing happens before resume
    task->resume();
    EXPECT_EQ(task->state(), URLSessionTask::State::Running);
    ASSERT_TRUE(testsupport::waitUntil([&] { return completion.calls > 0; }));
    testsupport::spin(30);
    EXPECT_EQ(completion.calls, 1);
    EXPECT_TRUE(completion.onMain);
    EXPECT_FALSE(completion.error);
    ASSERT_TRUE(completion.response);
    EXPECT_EQ(completion.response->statusCode(), 201);
    EXPECT_EQ(completion.response->valueForHTTPHeaderField("x-answer"), "yes");
    EXPECT_EQ(completion.response->mimeType(), "text/plain");
    EXPECT_EQ(completion.response->textEncodingName(), "UTF-8");
    EXPECT_EQ(completion.data->bytes(), "created");
    EXPECT_EQ(task->response(), completion.response);
    EXPECT_EQ(server.requests().front().method, "PATCH");
    EXPECT_EQ(server.requests().front().body, "body");
    EXPECT_GT(mainSession().dataTaskWithRequest(request, {})->taskIdentifier(), task->taskIdentifier());
}

TEST(URLSessionTransport, CancellingBeforeOrWhileRunningReportsCancelledOnce)
{
    Completion early;
    auto never = taskFor(URLRequest(QUrl("http://127.0.0.1:9/")), early);
    never->cancel();
    never->resume(); // too late to start
    ASSERT_TRUE(testsupport::waitUntil([&] { return early.calls > 0; }));
    EXPECT_EQ(early.error->code, URLSession::Cancelled);

    LocalHttpServer server;
    server.setResponder([&server](const httplib::Request &, httplib::Response &response) {
        server.holdUntilReleased();
        response.status = 200;
    });
    Completion running;
    auto task = taskFor(URLRequest(QUrl(server.origin() + "/hold")), running);
    task->resume();
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.requestCount() == 1; }));
    // Cancelled from a worker thread: the abort still happens on the GUI thread.
    Dispatch::global([task] { task->cancel(); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return running.calls > 0; }));
    server.release();
    testsupport::spin(100);
    EXPECT_EQ(running.calls, 1);
    EXPECT_EQ(running.error->code, URLSession::Cancelled);
    EXPECT_FALSE(running.data);
}

TEST(URLSessionTransport, StatusesOutsideTheHttpRangeAreErrors)
{
    for (const int status : {600, 99, 999}) {
        RawHttpServer server("HTTP/1.1 " + std::to_string(status) +
                             " Strange\r\nContent-Type: application/json\r\nContent-Length: 2\r\n"
                             "Connection: close\r\n\r\n{}");
        Completion completion;
        taskFor(URLRequest(QUrl(server.origin() + "/odd")), completion)->resume();
        ASSERT_TRUE(testsupport::waitUntil([&] { return completion.calls > 0; }));
        ASSERT_TRUE(completion.error) << status;
        EXPECT_EQ(completion.error->localizedDescription,
                  QStringLiteral("Request failed: strange (%1)").arg(status));
        EXPECT_EQ(completion.error->code, URLSession::BadServerResponse);
    }
}

TEST(URLSessionTransport, ContentTypeParameters)
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
