#include "Service/InstallationImageViewModel.h"
#include "ServiceTestSupport.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// One answer drawn from a mix of plausible envelopes, mangled JSON and plain noise.
struct RandomAnswer
{
    int status;
    std::string mediaType;
    std::string body;
};

std::string randomJsonValue(std::mt19937 &rng, int depth)
{
    static const std::vector<std::string> leaves = {"0",        "1",     "-1",         "1001", "\"0\"",
                                                    "\"x\"",    "null",  "true",       "1.5",  "\"\"",
                                                    "\"中文\"", "1e400", "\"\\u0000\""};
    std::uniform_int_distribution<int> pick(0, depth > 3 ? 0 : 3);
    switch (pick(rng)) {
    case 1: {
        std::string out = "[";
        const int n = std::uniform_int_distribution<int>(0, 3)(rng);
        for (int i = 0; i < n; ++i)
            out += (i ? "," : "") + randomJsonValue(rng, depth + 1);
        return out + "]";
    }
    case 2:
    case 3: {
        static const std::vector<std::string> keys = {
            "code", "message", "data", "name", "version", "info", "download_url", "logo_url", "release_date"};
        std::string out = "{";
        const int n = std::uniform_int_distribution<int>(0, 4)(rng);
        for (int i = 0; i < n; ++i)
            out += std::string(i ? "," : "") + "\"" + keys[rng() % keys.size()] +
                   "\":" + randomJsonValue(rng, depth + 1);
        return out + "}";
    }
    default:
        return leaves[rng() % leaves.size()];
    }
}

RandomAnswer randomAnswer(std::mt19937 &rng)
{
    static const std::vector<int> statuses = {200, 200, 200, 201, 204, 301, 400, 404, 500, 503};
    static const std::vector<std::string> types = {"application/json",
                                                   "application/json; charset=utf-8",
                                                   "text/json",
                                                   "text/javascript",
                                                   "text/html",
                                                   "text/plain",
                                                   "",
                                                   "application/json; charset=gb2312",
                                                   "application/octet-stream"};
    RandomAnswer answer{statuses[rng() % statuses.size()], types[rng() % types.size()], {}};
    switch (rng() % 4) {
    case 0:
        answer.body = randomJsonValue(rng, 0);
        break;
    case 1: { // noise
        const int n = std::uniform_int_distribution<int>(0, 200)(rng);
        for (int i = 0; i < n; ++i)
            answer.body += static_cast<char>(rng() & 0xff);
        break;
    }
    case 2: { // a JSON text cut short
        answer.body = randomJsonValue(rng, 0);
        answer.body.resize(answer.body.size() / 2);
        break;
    }
    default:
        answer.body = "{\"code\":" + randomJsonValue(rng, 2) + ",\"data\":" + randomJsonValue(rng, 1) + "}";
    }
    if (answer.status == 204 || answer.status == 301)
        answer.body.clear(); // these statuses carry no body on the wire
    return answer;
}

} // namespace

// Whatever the service answers, each call ends in exactly one of its two callables.
TEST(RandomizedAnswers, EveryAnswerEndsInExactlyOneCallable)
{
    LocalHttpServer server;
    servicetest::ScopedServiceUrl url(server.origin());
    auto model = std::make_shared<InstallationImageViewModel>();
    for (const unsigned seed : {1u, 7u, 2024u}) {
        std::mt19937 rng(seed);
        for (int round = 0; round < 40; ++round) {
            const RandomAnswer answer = randomAnswer(rng);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round << " status "
                                            << answer.status << " type '" << answer.mediaType << "'");
            server.setResponder(LocalHttpServer::answer(answer.status, answer.mediaType, answer.body));
            int catalogCalls = 0;
            int updateCalls = 0;
            model->installationImageListSuccess([&](const std::vector<MacOSModelPtr> &) { ++catalogCalls; },
                                                [&](const QVariant &) { ++catalogCalls; });
            model->updateAppSuccess([&](const QString &) { ++updateCalls; },
                                    [&](const QVariant &) { ++updateCalls; });
            ASSERT_TRUE(testsupport::waitUntil([&] { return catalogCalls > 0 && updateCalls > 0; }, 10000));
            testsupport::spin(5);
            EXPECT_EQ(catalogCalls, 1);
            EXPECT_EQ(updateCalls, 1);
        }
    }
}
