#include "Service/InstallationImageViewModel.h"

#include "Service/NetworkAgent.h"
#include "ServiceTestSupport.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

using servicetest::ScopedServiceUrl;

namespace {

struct CatalogResult
{
    int successes = 0;
    int failures = 0;
    bool failureGotNothing = true;
    std::vector<MacOSModelPtr> items;
};

struct UpdateResult
{
    int successes = 0;
    int failures = 0;
    QString link;
};

// Serves one answer for every request and runs the view model's calls against it.
class CatalogAnswers : public ::testing::Test
{
protected:
    void serve(int status, const std::string &mediaType, const std::string &body)
    {
        m_url.reset(); // restores the previous value before the next one is set
        m_server = std::make_unique<LocalHttpServer>(LocalHttpServer::answer(status, mediaType, body));
        m_url = std::make_unique<ScopedServiceUrl>(m_server->origin());
    }
    void serveJson(const std::string &body) { serve(200, "application/json", body); }

    CatalogResult fetchCatalog()
    {
        CatalogResult result;
        model->installationImageListSuccess(
            [&](const std::vector<MacOSModelPtr> &items) {
                ++result.successes;
                result.items = items;
            },
            [&](const QVariant &value) {
                ++result.failures;
                result.failureGotNothing = !value.isValid();
            });
        testsupport::waitUntil([&] { return result.successes + result.failures > 0; });
        testsupport::spin(30);
        return result;
    }

    UpdateResult fetchUpdate()
    {
        UpdateResult result;
        model->updateAppSuccess(
            [&](const QString &link) {
                ++result.successes;
                result.link = link;
            },
            [&](const QVariant &) { ++result.failures; });
        testsupport::waitUntil([&] { return result.successes + result.failures > 0; });
        testsupport::spin(30);
        return result;
    }

    size_t servedRequests() const { return m_server ? m_server->requestCount() : 0; }

    std::shared_ptr<InstallationImageViewModel> model = std::make_shared<InstallationImageViewModel>();

private:
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<ScopedServiceUrl> m_url;
};

} // namespace

TEST_F(CatalogAnswers, ThreeEntriesArriveInOrderWithTheirHeights)
{
    serveJson(R"({"code":0,"message":"ok","data":[
        {"name":"Install macOS Catalina","version":"10.15.7","logo_url":"http://l/c.svg",
         "download_url":"http://d/c.dmg","release_date":"2020-09-24",
         "info":"一段很长的介绍文字，一段很长的介绍文字，一段很长的介绍文字，一段很长的介绍文字，一段很长的介绍文字，一段很长的介绍文字。","extra":true},
        {"name":"Install macOS Mojave","version":"10.14.6","info":"短"},
        {"name":"Install OS X El Capitan","version":"10.11.6","info":""}]})");
    const auto result = fetchCatalog();
    ASSERT_EQ(result.successes, 1);
    EXPECT_EQ(result.failures, 0);
    ASSERT_EQ(result.items.size(), 3u);
    EXPECT_EQ(result.items[0]->name(), "Install macOS Catalina");
    EXPECT_EQ(result.items[1]->name(), "Install macOS Mojave");
    EXPECT_EQ(result.items[2]->name(), "Install OS X El Capitan");
    EXPECT_EQ(result.items[0]->version(), "10.15.7");
    EXPECT_EQ(result.items[0]->logoUrl(), "http://l/c.svg");
    EXPECT_EQ(result.items[0]->downloadUrl(), "http://d/c.dmg");
    EXPECT_EQ(result.items[0]->releaseDate(), "2020-09-24");
    for (const auto &item : result.items)
        EXPECT_DOUBLE_EQ(item->cellHeight(), MacOSModel::textFieldHeightWithWidth(301, item->info()));
    EXPECT_GT(result.items[0]->cellHeight(), result.items[1]->cellHeight());
    EXPECT_TRUE(result.items[1]->path().isEmpty());
    EXPECT_EQ(result.items[1]->installType(), 0);
    EXPECT_EQ(model->message(), "ok");
}

TEST_F(CatalogAnswers, FieldsOfTheWrongKindAreReadTolerantly)
{
    serveJson(R"({"code":0,"data":[{"name":"Install macOS Sierra","version":11,"info":null,"logo_url":["x"],
                                   "download_url":{"u":1}}, "not an object", 5]})");
    const auto result = fetchCatalog();
    ASSERT_EQ(result.successes, 1);
    ASSERT_EQ(result.items.size(), 1u);
    const auto &item = result.items[0];
    EXPECT_EQ(item->version(), "11");
    EXPECT_TRUE(item->info().isEmpty());
    EXPECT_TRUE(item->logoUrl().isEmpty());
    EXPECT_TRUE(item->downloadUrl().isEmpty());
    EXPECT_DOUBLE_EQ(item->cellHeight(), MacOSModel::textFieldHeightWithWidth(301, QString()));
    EXPECT_EQ(model->message(), "服务器异常");
}

TEST_F(CatalogAnswers, SuccessfulEnvelopesWithoutAListGiveAnEmptyCatalog)
{
    for (const std::string body : {R"({"code":0,"data":{"name":"x"}})", R"({"code":0,"data":null})",
                                   R"({"code":"0"})", R"({"message":"no code"})", ""}) {
        SCOPED_TRACE(body);
        serveJson(body);
        const auto result = fetchCatalog();
        EXPECT_EQ(result.successes, 1);
        EXPECT_EQ(result.failures, 0);
        EXPECT_TRUE(result.items.empty());
    }
}

TEST_F(CatalogAnswers, FailuresGiveTheFailureCallableNothing)
{
    struct Case
    {
        int status;
        std::string mediaType;
        std::string body;
    };
    const std::vector<Case> cases = {
        {200, "application/json", R"({"code":1001})"},
        {200, "application/json", R"({"code":"1001","message":"维护中","data":[]})"},
        {404, "application/json", R"({"code":0,"data":[]})"},
        {200, "text/html", "<html>maintenance</html>"},
        {200, "application/json", "<html>not json</html>"},
        {200, "application/json", R"([{"name":"x"}])"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        serve(c.status, c.mediaType, c.body);
        const auto result = fetchCatalog();
        EXPECT_EQ(result.successes, 0);
        EXPECT_EQ(result.failures, 1);
        EXPECT_TRUE(result.failureGotNothing);
    }
    serveJson(R"({"code":1001})");
    fetchCatalog();
    EXPECT_EQ(model->message(), "服务器异常");
    serveJson(R"({"code":"1001","message":"维护中"})");
    fetchCatalog();
    EXPECT_EQ(model->message(), "维护中");
}

TEST_F(CatalogAnswers, UpdateNoticeCarriesItsLinkOrNothing)
{
    serveJson(R"({"code":0,"message":"发现新版本","data":{"download_url":"http://127.0.0.1/new.zip"}})");
    auto result = fetchUpdate();
    ASSERT_EQ(result.successes, 1);
    EXPECT_EQ(result.link, "http://127.0.0.1/new.zip");

    serveJson(R"({"code":0,"data":{"other":1}})");
    result = fetchUpdate();
    ASSERT_EQ(result.successes, 1);
    EXPECT_TRUE(result.link.isNull());

    serve(200, "application/json", "");
    result = fetchUpdate();
    ASSERT_EQ(result.successes, 1);
    EXPECT_TRUE(result.link.isNull());

    serveJson(R"({"code":1,"message":"已是最新版本"})");
    result = fetchUpdate();
    EXPECT_EQ(result.successes, 0);
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(model->message(), "已是最新版本");
}

TEST_F(CatalogAnswers, AViewModelGoneBeforeTheAnswerTurnsItIntoAFailure)
{
    serveJson(R"({"code":0,"data":[{"name":"x"}]})");
    int successes = 0;
    int failures = 0;
    model->installationImageListSuccess([&](const std::vector<MacOSModelPtr> &) { ++successes; },
                                        [&](const QVariant &) { ++failures; });
    model.reset();
    ASSERT_TRUE(testsupport::waitUntil([&] { return successes + failures > 0; }));
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(failures, 1);
}

TEST_F(CatalogAnswers, CallsWithoutCallablesStillRunToTheirEnd)
{
    serveJson(R"({"code":0,"data":[]})");
    model->installationImageListSuccess({}, {});
    model->updateAppSuccess({}, {});
    ASSERT_TRUE(testsupport::waitUntil([&] { return servedRequests() == 2; }));
    ASSERT_TRUE(
        testsupport::waitUntil([] { return NetworkAgent::sharedAgent().runningRequestCount() == 0; }));
    EXPECT_EQ(model->message(), "服务器异常");
}
