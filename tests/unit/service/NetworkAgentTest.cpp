#include "Service/NetworkAgent.h"

#include "Common/SafeMerge.h"
#include "Platform/Net/HTTPTransfer.h"
#include "Service/HTTPRequestSerializer.h"
#include "Service/NetJSONType.h"
#include "Service/NetRequestAccessory.h"
#include "Service/NetRequestDelegate.h"
#include "ServiceTestSupport.h"
#include "TestRequest.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/ProcessMemory.h"

#include <QSemaphore>
#include <gtest/gtest.h>

using namespace platform;
using servicetest::runToCompletion;

namespace {

std::shared_ptr<TestRequest> requestTo(const LocalHttpServer &server, const QString &path)
{
    auto request = std::make_shared<TestRequest>();
    request->base = server.origin();
    request->url = path;
    return request;
}

// Records every observer call of one request in order, with the thread it came on.
struct Journal : NetRequestDelegate, NetRequestAccessory
{
    QStringList events;
    bool allStopCallsOnMain = true;
    void note(const QString &event, bool mustBeMain)
    {
        events << event;
        if (mustBeMain && !servicetest::onMainThread())
            allStopCallsOnMain = false;
    }
    void requestFinished(const NetBaseRequestPtr &) override { note(QStringLiteral("finished"), true); }
    void requestFailed(const NetBaseRequestPtr &) override { note(QStringLiteral("failed"), true); }
    void requestWillStart(const NetBaseRequestPtr &) override { note(QStringLiteral("willStart"), false); }
    void requestWillStop(const NetBaseRequestPtr &) override { note(QStringLiteral("willStop"), true); }
    void requestDidStop(const NetBaseRequestPtr &) override { note(QStringLiteral("didStop"), true); }
};

} // namespace

TEST(NetworkAgentWire, PostSendsTheSortedFormBodyWithItsContentType)
{
    LocalHttpServer server(LocalHttpServer::answer(200, "application/json", R"({"ok":true})"));
    auto request = requestTo(server, QStringLiteral("/api/echo"));
    request->method = NetBaseRequest::RequestMethodPOST;
    request->argument = QVariantMap{{"b", 2}, {"a", "x y"}};

    const auto outcome = runToCompletion(request);
    ASSERT_EQ(outcome.successes, 1);
    ASSERT_EQ(server.requestCount(), 1u);
    const auto seen = server.requests().front();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.path, "/api/echo");
    EXPECT_EQ(seen.body, "a=x%20y&b=2");
    EXPECT_EQ(seen.header("Content-Type"), "application/x-www-form-urlencoded");
    // Default fields that every request carries, ours rather than the ones Qt fills in.
    EXPECT_NE(seen.header("User-Agent").find(" (Mac OS X "), std::string::npos);
    EXPECT_EQ(seen.header("User-Agent").rfind("bootdrive/", 0), 0u);
    EXPECT_EQ(QString::fromStdString(seen.header("Accept-Language")),
              HTTPRequestSerializer::acceptLanguageFromLanguages(QLocale::system().uiLanguages()));
    EXPECT_EQ(seen.header("Accept-Language").find('*'), std::string::npos);
}

TEST(NetworkAgentWire, ACustomRequestGoesAsItIsWithTheDefaultFields)
{
    LocalHttpServer server(LocalHttpServer::answer(200, "application/json", "{}"));
    auto request = std::make_shared<TestRequest>();
    QNetworkRequest custom(QUrl(server.origin() + "/custom?x=1"));
    custom.setRawHeader("Content-Type", "text/plain");
    custom.setRawHeader("Accept-Language", "de");
    request->custom = custom;
    request->customVerb = "PUT";
    request->customBody = "raw body";
    request->argument = QVariantMap{{"ignored", "y"}};
    ASSERT_EQ(runToCompletion(request).successes, 1);
    const auto seen = server.requests().front();
    EXPECT_EQ(seen.method, "PUT");
    EXPECT_EQ(seen.path, "/custom");
    EXPECT_EQ(seen.query, "x=1");
    EXPECT_EQ(seen.body, "raw body");
    EXPECT_EQ(seen.header("Content-Type"), "text/plain");
    EXPECT_EQ(seen.header("Accept-Language"), "de");
    EXPECT_EQ(seen.header("User-Agent").rfind("bootdrive/", 0), 0u);
}

TEST(NetworkAgentWire, GetPutsTheArgumentIntoTheQueryAndCustomHeadersWin)
{
    LocalHttpServer server(LocalHttpServer::answer(200, "application/json", "{}"));
    auto request = requestTo(server, QStringLiteral("search?lang=zh"));
    request->argument = QVariantMap{{"q", "Mojave 10.14"}};
    request->headers = {{QStringLiteral("User-Agent"), QStringLiteral("custom/1")},
                        {QStringLiteral("X-Trace"), QStringLiteral("42")}};
    request->authorization = {QStringLiteral("anna"), QStringLiteral("s3cret")};

    ASSERT_EQ(runToCompletion(request).successes, 1);
    const auto seen = server.requests().front();
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.path, "/search");
    EXPECT_EQ(seen.query, "lang=zh&q=Mojave%2010.14");
    EXPECT_EQ(seen.body, "");
    EXPECT_EQ(seen.header("User-Agent"), "custom/1");
    EXPECT_EQ(seen.header("X-Trace"), "42");
    EXPECT_EQ(seen.header("Authorization"), "Basic YW5uYTpzM2NyZXQ=");
}

TEST(NetworkAgentDelivery, SuccessRunsOnTheMainThreadInOrderAndClearsTheBlocks)
{
    LocalHttpServer server(LocalHttpServer::answer(200, "application/json; charset=utf-8",
                                                   R"({"code":0,"data":[1,2],"message":"好"})"));
    auto request = requestTo(server, QStringLiteral("/ok"));
    auto journal = std::make_shared<Journal>();
    request->setDelegate(journal);
    request->addAccessory(journal);
    request->setTag(7);

    bool blockSawJournal = false;
    bool done = false;
    request->startWithCompletionBlockWithSuccess(
        [&](const NetBaseRequestPtr &finished) {
            journal->note(QStringLiteral("success"), true);
            blockSawJournal = journal->events.contains(QStringLiteral("finished"));
            EXPECT_EQ(finished->tag(), 7);
            done = true;
        },
        [&](const NetBaseRequestPtr &) { done = true; });
    EXPECT_EQ(journal->events, QStringList{QStringLiteral("willStart")});
    ASSERT_TRUE(testsupport::waitUntil([&] { return done; }));
    testsupport::spin(30);

    EXPECT_EQ(journal->events, (QStringList{"willStart", "willStop", "finished", "success", "didStop"}));
    EXPECT_TRUE(journal->allStopCallsOnMain);
    EXPECT_TRUE(blockSawJournal);
    EXPECT_EQ(request->completePreprocessorCalls.load(), 1);
    EXPECT_FALSE(request->completePreprocessedOffMain.load()) << "a small answer is decoded at once";
    EXPECT_FALSE(request->successCompletionBlock());
    EXPECT_FALSE(request->failureCompletionBlock());
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 0u);

    ASSERT_TRUE(request->responseJSONObject());
    EXPECT_EQ(request->responseJSONObject()->toMap().value("message"), "好");
    EXPECT_EQ(request->responseObject(), request->responseJSONObject());
    EXPECT_EQ(request->responseString(), QStringLiteral(R"({"code":0,"data":[1,2],"message":"好"})"));
    EXPECT_EQ(request->responseStatusCode(), 200);
    EXPECT_FALSE(request->isExecuting());
    EXPECT_FALSE(request->isCancelled());
}

TEST(NetworkAgentDelivery, AnswersThatAreNotUsableJsonFail)
{
    struct Case
    {
        const char *what;
        LocalHttpServer::Responder responder;
        int64_t code;
        QString description;
    };
    const std::vector<Case> cases = {
        {"404 with JSON", LocalHttpServer::answer(404, "application/json", R"({"code":0})"),
         NetworkAgent::InvalidStatusCode, QStringLiteral("Invalid status code")},
        {"500 with an empty body", LocalHttpServer::answer(500, "application/json", ""),
         NetworkAgent::InvalidStatusCode, QStringLiteral("Invalid status code")},
        {"HTML with 200", LocalHttpServer::answer(200, "text/html", "<html><body>hi</body></html>"),
         NetworkAgent::CannotDecodeContentData,
         QStringLiteral("Request failed: unacceptable content-type: text/html")},
        {"not JSON",
         LocalHttpServer::answer(200, "application/json", "{\"code\": 0,"),
         NetworkAgent::CorruptData,
         {}},
        {"a bare JSON number",
         LocalHttpServer::answer(200, "text/json", "42"),
         NetworkAgent::CorruptData,
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer server(c.responder);
        auto request = requestTo(server, QStringLiteral("/x"));
        const auto outcome = runToCompletion(request);
        EXPECT_EQ(outcome.successes, 0);
        ASSERT_EQ(outcome.failures, 1);
        EXPECT_TRUE(outcome.onMainThread);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code, c.code);
        if (!c.description.isEmpty()) {
            EXPECT_EQ(outcome.error->localizedDescription, c.description);
        }
        EXPECT_EQ(request->failedPreprocessorCalls.load(), 1);
        EXPECT_FALSE(request->failureCompletionBlock());
    }
}

TEST(NetworkAgentDelivery, ErrorStatusesAreAnswersForTheStatusRule)
{
    // Qt rates these statuses as errors of its own; they are answers, judged by the request's status rule.
    for (const int status : {400, 401, 403, 404, 418, 500, 503}) {
        SCOPED_TRACE(status);
        LocalHttpServer server(LocalHttpServer::answer(status, "application/json", R"({"code":7})"));
        auto judged = requestTo(server, QStringLiteral("/x"));
        const auto outcome = runToCompletion(judged);
        ASSERT_EQ(outcome.failures, 1);
        EXPECT_EQ(outcome.error->domain, NetworkAgent::NetRequestValidationErrorDomain);
        EXPECT_EQ(outcome.error->code, NetworkAgent::InvalidStatusCode);
        EXPECT_EQ(judged->responseStatusCode(), status);

        auto accepting = requestTo(server, QStringLiteral("/x"));
        accepting->anyStatus = true;
        ASSERT_EQ(runToCompletion(accepting).successes, 1);
        EXPECT_EQ(SafeMerge::safe_stringForKey(accepting->responseJSONObject()->toMap(), "code"), "7");
        EXPECT_EQ(accepting->responseHeader("content-type"), "application/json");
    }
}

TEST(NetworkAgentDelivery, DecodedValuesKeepTheKindsTheServiceSent)
{
    LocalHttpServer server(
        LocalHttpServer::answer(200, "application/json",
                                R"({"code":"1001","number":1001,"fraction":2.5,"nothing":null,"yes":true})"));
    auto request = requestTo(server, QStringLiteral("/kinds"));
    ASSERT_EQ(runToCompletion(request).successes, 1);
    ASSERT_TRUE(request->responseJSONObject());
    const QVariantMap json = request->responseJSONObject()->toMap();
    // A code sent as text stays text, and reads as the number it spells, not as 0 (success).
    EXPECT_EQ(SafeValue::kindOf(json.value("code")), SafeValue::Kind::String);
    EXPECT_EQ(SafeMerge::safe_integerForKey(json, QStringLiteral("code")), 1001);
    EXPECT_EQ(SafeValue::kindOf(json.value("number")), SafeValue::Kind::Number);
    EXPECT_EQ(SafeMerge::safe_stringForKey(json, "fraction"), "2.5");
    EXPECT_EQ(SafeValue::kindOf(json.value("nothing")), SafeValue::Kind::Null);
    EXPECT_EQ(SafeMerge::safe_stringForKey(json, "yes"), "1");
}

TEST(NetworkAgentDelivery, AnAnswerWithoutMediaTypeIsNotJson)
{
    LocalHttpServer server([](const LocalHttpServer::Seen &) {
        return LocalHttpServer::Answer{
            .raw = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n{\"code\":0}"};
    });
    auto request = std::make_shared<TestRequest>();
    request->url = server.origin() + "/bare";
    const auto outcome = runToCompletion(request);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->localizedDescription, "Request failed: unacceptable content-type: (null)");
    EXPECT_EQ(request->responseData(), R"({"code":0})");

    // Without a body there is nothing to refuse: an empty answer.
    LocalHttpServer empty([](const LocalHttpServer::Seen &) {
        return LocalHttpServer::Answer{
            .raw = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"};
    });
    auto nothing = std::make_shared<TestRequest>();
    nothing->url = empty.origin() + "/bare";
    EXPECT_EQ(runToCompletion(nothing).successes, 1);
    EXPECT_FALSE(nothing->responseJSONObject());
}

TEST(NetworkAgentDelivery, EmptyBodiesAndRawAnswersSucceed)
{
    // An empty body is no value whatever its media type; a lone space only when declared as JSON.
    for (const auto &[type, body] : std::vector<std::pair<std::string, std::string>>{
             {"text/html", ""}, {"application/json", ""}, {"application/json", " "}}) {
        LocalHttpServer server(LocalHttpServer::answer(200, type, body));
        auto request = requestTo(server, QStringLiteral("/empty"));
        ASSERT_EQ(runToCompletion(request).successes, 1) << type << " '" << body << "'";
        EXPECT_FALSE(request->responseJSONObject());
    }
    // Raw answers skip the JSON step: the bytes arrive as they are, decoded by the declared charset (the
    // Chinese and Japanese ones through ICU); an unknown charset reads as UTF-8.
    const std::vector<std::tuple<std::string, std::string, QString>> texts = {
        {"ISO-8859-1", "caf\xe9", QStringLiteral("café")},
        {"GBK", "\xc4\xe3\xba\xc3", QStringLiteral("你好")},
        {"gb2312", "\xc4\xe3\xba\xc3", QStringLiteral("你好")},
        {"Big5", "\xa7\x41\xa6\x6e", QStringLiteral("你好")},
        {"Shift_JIS", "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd", QStringLiteral("こんにちは")},
        {"x-no-such-charset", "caf\xc3\xa9", QStringLiteral("café")},
    };
    for (const auto &[charset, bytes, text] : texts) {
        SCOPED_TRACE(charset);
        LocalHttpServer server(LocalHttpServer::answer(200, "text/plain; charset=" + charset, bytes));
        auto request = requestTo(server, QStringLiteral("/raw"));
        request->responseSerializer = NetBaseRequest::ResponseSerializerTypeHTTP;
        ASSERT_EQ(runToCompletion(request).successes, 1);
        ASSERT_TRUE(request->responseData());
        EXPECT_EQ(request->responseData(), QByteArray::fromStdString(bytes));
        EXPECT_EQ(request->responseObject(), QVariant(*request->responseData()));
        EXPECT_EQ(request->responseString(), text);
    }
    // Bytes that are not valid in the declared charset give no text at all.
    LocalHttpServer bad(LocalHttpServer::answer(200, "application/json; charset=utf-8", "{\"a\":\"\xff\"}"));
    auto invalid = requestTo(bad, QStringLiteral("/bad"));
    invalid->responseSerializer = NetBaseRequest::ResponseSerializerTypeHTTP;
    ASSERT_EQ(runToCompletion(invalid).successes, 1);
    EXPECT_TRUE(invalid->responseString().isNull());
}

TEST(NetworkAgentDelivery, JsonTemplatesDecideBetweenSuccessAndCodeMinusNine)
{
    LocalHttpServer server(LocalHttpServer::answer(200, "application/json",
                                                   R"({"code":0,"message":null,"data":[{"name":"a"}]})"));
    auto matching = requestTo(server, QStringLiteral("/t"));
    matching->validator = QVariantMap{{"code", NetJSONType::number()},
                                      {"message", NetJSONType::string()},
                                      {"data", QVariantList{QVariantMap{{"name", NetJSONType::string()}}}}};
    EXPECT_EQ(runToCompletion(matching).successes, 1);

    auto mismatching = requestTo(server, QStringLiteral("/t"));
    mismatching->validator =
        QVariantMap{{"data", QVariantList{QVariantMap{{"name", NetJSONType::number()}}}}};
    const auto outcome = runToCompletion(mismatching);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->code, NetworkAgent::InvalidJSONFormat);
    EXPECT_EQ(outcome.error->localizedDescription, "Invalid JSON format");
    EXPECT_EQ(outcome.error->domain, NetworkAgent::NetRequestValidationErrorDomain);
}

TEST(NetworkAgentFailure, TransportFailuresReachTheFailureBlock)
{
    int closedPort = 0;
    {
        LocalHttpServer gone;
        closedPort = gone.port();
    }
    auto refused = std::make_shared<TestRequest>();
    refused->url = QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort);
    auto outcome = runToCompletion(refused);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->domain, HTTPTransfer::ErrorDomain);
    EXPECT_EQ(outcome.error->code, QNetworkReply::ConnectionRefusedError);

    LocalHttpServer silent;
    silent.setResponder([&silent](const LocalHttpServer::Seen &) {
        silent.holdUntilReleased();
        return LocalHttpServer::Answer{};
    });
    auto slow = requestTo(silent, QStringLiteral("/slow"));
    slow->timeout = 0.3;
    outcome = runToCompletion(slow);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->code, QNetworkReply::TimeoutError);
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 0u);
}

TEST(NetworkAgentFailure, AnswersThatNeverEndFailWithinTheLimitsAndBoundedMemory)
{
    // A catalog that keeps coming as fast as it can is cut at the service cap, long before memory grows.
    LocalHttpServer flood(LocalHttpServer::answer(200, "application/json", R"({"code":0,"data":[)",
                                                  LocalHttpServer::Endless::Flood));
    auto request = std::make_shared<TestRequest>();
    request->url = flood.origin() + "/api/installation-image-list";
    testsupport::PeakMemory memory;
    bool done = false;
    std::optional<Error> error;
    request->startWithCompletionBlockWithSuccess([&](const NetBaseRequestPtr &) { done = true; },
                                                 [&](const NetBaseRequestPtr &failed) {
                                                     error = failed->error();
                                                     done = true;
                                                 });
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            memory.sample();
            return done;
        },
        20000));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, HTTPTransfer::BodyTooLargeError);
    EXPECT_LT(flood.bytesSent(), 64LL << 20);
    if (testsupport::memoryIsMeasurable()) {
        EXPECT_LT(memory.growth(), 64LL << 20);
    }

    // Data that keeps trickling in never trips the idle limit; the total limit ends it.
    NetworkAgent &agent = NetworkAgent::sharedAgent();
    const TransferLimits limits = agent.transferLimits();
    EXPECT_EQ(limits.maxBodyBytes, 8LL << 20);
    EXPECT_EQ(limits.totalSeconds, 60.0);
    agent.setTransferLimits({limits.maxBodyBytes, limits.idleSeconds, 0.5});
    LocalHttpServer trickle(
        LocalHttpServer::answer(200, "application/json", "{", LocalHttpServer::Endless::Trickle));
    auto slow = std::make_shared<TestRequest>();
    slow->url = trickle.origin() + "/api/update-app";
    const auto outcome = runToCompletion(slow, 10000);
    agent.setTransferLimits(limits);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->code, QNetworkReply::TimeoutError);
}

TEST(NetworkAgentFailure, RequestsThatCannotBeBuiltFailWithoutATaskAndKeepTheirBlocks)
{
    auto noBase = std::make_shared<TestRequest>();
    noBase->url = QStringLiteral("api/x");
    auto outcome = runToCompletion(noBase);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(noBase->taskIdentifier(), 0u);
    EXPECT_EQ(noBase->taskState(), NetBaseRequest::TaskState::None);
    EXPECT_TRUE(noBase->failureCompletionBlock()); // never recorded, so never cleared

    LocalHttpServer server(LocalHttpServer::answer(200, "application/json", "{}"));
    auto oddMethod = requestTo(server, QStringLiteral("/x"));
    oddMethod->method = 9;
    outcome = runToCompletion(oddMethod);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 0u);

    auto fileUrl = std::make_shared<TestRequest>();
    fileUrl->url = QStringLiteral("file:///etc/passwd");
    fileUrl->responseSerializer = NetBaseRequest::ResponseSerializerTypeHTTP;
    outcome = runToCompletion(fileUrl);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->code, QNetworkReply::ProtocolUnknownError);
    EXPECT_FALSE(fileUrl->responseData());
}

TEST(NetworkAgentCancel, ACancelledRequestRunsNoBlockAndLeavesTheRecord)
{
    LocalHttpServer server;
    server.setResponder([&server](const LocalHttpServer::Seen &) {
        server.holdUntilReleased();
        return LocalHttpServer::Answer{R"({"code":0})", 200, "application/json"};
    });
    auto request = requestTo(server, QStringLiteral("/slow"));
    auto journal = std::make_shared<Journal>();
    request->setDelegate(journal);
    int blocks = 0;
    request->startWithCompletionBlockWithSuccess([&](const NetBaseRequestPtr &) { ++blocks; },
                                                 [&](const NetBaseRequestPtr &) { ++blocks; });
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.requestCount() == 1; }));
    EXPECT_TRUE(request->isExecuting());
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 1u);

    request->stop();
    EXPECT_FALSE(request->successCompletionBlock());
    EXPECT_FALSE(request->delegate());
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 0u);
    server.release();
    testsupport::spin(300);
    EXPECT_EQ(blocks, 0);
    EXPECT_TRUE(journal->events.isEmpty());
    EXPECT_EQ(request->taskState(), NetBaseRequest::TaskState::Completed);
}

TEST(NetworkAgentCancel, CancelAllStopsEveryRunningRequest)
{
    LocalHttpServer server;
    server.setResponder([&server](const LocalHttpServer::Seen &) {
        server.holdUntilReleased();
        return LocalHttpServer::Answer{};
    });
    int blocks = 0;
    std::vector<std::shared_ptr<TestRequest>> requests;
    for (int i = 0; i < 3; ++i) {
        auto request = requestTo(server, QStringLiteral("/r%1").arg(i));
        request->startWithCompletionBlockWithSuccess([&](const NetBaseRequestPtr &) { ++blocks; },
                                                     [&](const NetBaseRequestPtr &) { ++blocks; });
        requests.push_back(request);
    }
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 3u);
    NetworkAgent::sharedAgent().cancelAllRequests();
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 0u);
    server.release();
    testsupport::spin(300);
    EXPECT_EQ(blocks, 0);
}

TEST(NetworkAgentConcurrency, EachOfManyParallelRequestsGetsItsOwnAnswerOnce)
{
    LocalHttpServer server([](const LocalHttpServer::Seen &request) {
        return LocalHttpServer::Answer{"{\"path\":\"" + request.path + "\"}", 200, "application/json"};
    });
    constexpr int count = 24;
    std::vector<int> deliveries(count, 0);
    std::vector<QString> answers(count);
    for (int i = 0; i < count; ++i) {
        auto request = requestTo(server, QStringLiteral("/item/%1").arg(i));
        request->setRequestPriority(i % 3 == 0 ? NetBaseRequest::RequestPriorityHigh
                                               : NetBaseRequest::RequestPriorityLow);
        request->startWithCompletionBlockWithSuccess(
            [&, i](const NetBaseRequestPtr &done) {
                ++deliveries[i];
                answers[i] = done->responseJSONObject()->toMap().value("path").toString();
            },
            [&, i](const NetBaseRequestPtr &) { ++deliveries[i]; });
        EXPECT_EQ(request->originalRequest()->priority(),
                  i % 3 == 0 ? QNetworkRequest::HighPriority : QNetworkRequest::LowPriority);
    }
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return std::all_of(deliveries.begin(), deliveries.end(), [](int d) { return d > 0; }); }));
    testsupport::spin(50);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(deliveries[i], 1) << i;
        EXPECT_EQ(answers[i], QStringLiteral("/item/%1").arg(i));
    }
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 0u);
}

// A large answer is decoded on a worker and delivered on the main thread; a request stopped meanwhile gets
// nothing of it: no filter, no second stop report, no block.
TEST(NetworkAgentCancel, ARequestStoppedWhileItsLargeAnswerIsDecodedIsDropped)
{
    const std::string large = R"({"code":0,"data":")" + std::string(256 * 1024, 'x') + R"("})";
    LocalHttpServer server(LocalHttpServer::answer(200, "application/json", large));
    auto delivered = requestTo(server, QStringLiteral("/large"));
    const auto outcome = runToCompletion(delivered);
    ASSERT_EQ(outcome.successes, 1);
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_TRUE(delivered->completePreprocessedOffMain.load());

    auto request = requestTo(server, QStringLiteral("/large"));
    auto journal = std::make_shared<Journal>();
    request->setDelegate(journal);
    request->addAccessory(journal);
    QSemaphore gate;
    request->preprocessorGate = &gate;
    int blocks = 0;
    request->startWithCompletionBlockWithSuccess([&](const NetBaseRequestPtr &) { ++blocks; },
                                                 [&](const NetBaseRequestPtr &) { ++blocks; });
    ASSERT_TRUE(testsupport::waitUntil([&] { return request->completePreprocessorCalls.load() == 1; }));
    request->stop();
    gate.release();
    testsupport::spin(300);
    EXPECT_EQ(blocks, 0);
    EXPECT_EQ(request->completeFilterCalls, 0);
    EXPECT_EQ(journal->events, (QStringList{"willStart", "willStop", "didStop"}));
    EXPECT_EQ(NetworkAgent::sharedAgent().runningRequestCount(), 0u);
}
