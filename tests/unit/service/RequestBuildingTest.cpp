#include "Service/HTTPRequestSerializer.h"
#include "Service/NetUrlFilter.h"
#include "Service/NetworkAgent.h"
#include "Service/NetworkConfig.h"
#include "ServiceTestSupport.h"
#include "TestRequest.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QString urlFor(const QString &base, const QString &path)
{
    TestRequest request;
    request.base = base;
    request.url = path;
    return NetworkAgent::sharedAgent().buildRequestUrl(request);
}

struct AppendFilter : NetUrlFilter
{
    QString suffix;
    explicit AppendFilter(QString s) : suffix(std::move(s)) {}
    QString filterUrl(const QString &originUrl, const NetBaseRequestPtr &) override
    {
        return originUrl + suffix;
    }
};

QString query(const QVariant &parameters)
{
    return HTTPRequestSerializer::queryStringFromParameters(parameters);
}

} // namespace

TEST(RequestUrl, PathsResolveAgainstTheBaseAsUrlReferences)
{
    const QString origin = QStringLiteral("https://api.example.test");
    EXPECT_EQ(urlFor(origin, "api/x"), "https://api.example.test/api/x");
    EXPECT_EQ(urlFor(origin, "/api/update-app"), "https://api.example.test/api/update-app");
    EXPECT_EQ(urlFor(origin + "/base", "api/x"), "https://api.example.test/base/api/x");
    EXPECT_EQ(urlFor(origin + "/base/", "api/x"), "https://api.example.test/base/api/x");
    EXPECT_EQ(urlFor(origin + "/base", "/api/x"), "https://api.example.test/api/x");
    EXPECT_EQ(urlFor(origin + ":8443", "api/x?a=1"), "https://api.example.test:8443/api/x?a=1");
    EXPECT_EQ(urlFor(origin + "/base", "../up"), "https://api.example.test/up");
    // A full URL is used unchanged, whatever the base.
    EXPECT_EQ(urlFor(origin + "/base", "http://127.0.0.1:9/elsewhere?q=1"),
              "http://127.0.0.1:9/elsewhere?q=1");
    // No base anywhere: the path stays relative, which the agent refuses to send.
    EXPECT_EQ(urlFor({}, "api/x"), "api/x");
}

TEST(RequestUrl, FiltersTheConfigurationAndTheCdnTakePart)
{
    auto &config = NetworkConfig::sharedConfig();
    config.addUrlFilter(std::make_shared<AppendFilter>("?v=1"));
    config.addUrlFilter(std::make_shared<AppendFilter>("&w=2"));
    config.setBaseUrl(QStringLiteral("http://config.example.test/root"));
    config.setCdnUrl(QStringLiteral("http://cdn.example.test"));

    TestRequest request;
    request.url = QStringLiteral("file.json");
    EXPECT_EQ(NetworkAgent::sharedAgent().buildRequestUrl(request),
              "http://config.example.test/root/file.json?v=1&w=2");
    request.cdnWanted = true;
    EXPECT_EQ(NetworkAgent::sharedAgent().buildRequestUrl(request),
              "http://cdn.example.test/file.json?v=1&w=2");
    request.cdn = QStringLiteral("http://own-cdn.example.test");
    EXPECT_EQ(NetworkAgent::sharedAgent().buildRequestUrl(request),
              "http://own-cdn.example.test/file.json?v=1&w=2");
    request.url = QStringLiteral("https://full.example.test/f");
    EXPECT_EQ(NetworkAgent::sharedAgent().buildRequestUrl(request), "https://full.example.test/f");

    EXPECT_EQ(config.urlFilters().size(), 2u);
    config.clearUrlFilter();
    config.setBaseUrl({});
    config.setCdnUrl({});
    EXPECT_TRUE(config.urlFilters().empty());
}

TEST(FormEncoding, KeysSortByCodeUnitAndContainersExpand)
{
    EXPECT_EQ(query(QVariantMap{{"b", 2}, {"a", "x y"}}), "a=x%20y&b=2");
    EXPECT_EQ(query(QVariantMap{{"a", 1}, {"B", 2}, {"_", 3}}), "B=2&_=3&a=1");
    const QVariantMap nested{
        {"user", QVariantMap{{"name", "Anna"}, {"tags", QVariantList{"x", "y"}}}},
        {"flag", true},
        {"none", QVariant::fromValue(nullptr)},
        {"pi", 3.25},
        {"f", 0.1f},
    };
    EXPECT_EQ(query(nested),
              "f=0.1&flag=1&none&pi=3.25&user%5Bname%5D=Anna&user%5Btags%5D%5B%5D=x&user%5Btags%5D%5B%5D=y");

    EXPECT_EQ(query(QVariantMap{{"s", QVariant::fromValue(QSet<QString>{"pear", "apple", "10"})}}),
              "s=10&s=apple&s=pear");
    EXPECT_EQ(query(QVariantMap()), "");
    EXPECT_EQ(query(QVariantMap{{"list", QVariantList()}}), "");
}

TEST(FormEncoding, PercentEncodingKeepsOnlyTheQuerySafeCharacters)
{
    EXPECT_EQ(HTTPRequestSerializer::percentEscapedString("Anna's MacBook Pro"), "Anna%27s%20MacBook%20Pro");
    EXPECT_EQ(HTTPRequestSerializer::percentEscapedString("0a:1b:2c"), "0a%3A1b%3A2c");
    EXPECT_EQ(HTTPRequestSerializer::percentEscapedString("AZaz09-._~/?"), "AZaz09-._~/?");
    EXPECT_EQ(HTTPRequestSerializer::percentEscapedString(":#[]@!$&'()*+,;=% \"<>"),
              "%3A%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D%25%20%22%3C%3E");
    EXPECT_EQ(HTTPRequestSerializer::percentEscapedString("苹果"), "%E8%8B%B9%E6%9E%9C");
    // A surrogate pair and a combining sequence across the 50th code unit stay whole.
    const QString long1 = QString(49, QLatin1Char('a')) + QStringLiteral("😀") + QString(10, QLatin1Char('b'));
    EXPECT_EQ(HTTPRequestSerializer::percentEscapedString(long1),
              QString(49, QLatin1Char('a')) + "%F0%9F%98%80" + QString(10, QLatin1Char('b')));
    const QString long2 = QString(49, QLatin1Char('a')) + QStringLiteral("e\u0301") + QStringLiteral("z");
    EXPECT_EQ(HTTPRequestSerializer::percentEscapedString(long2), QString(49, QLatin1Char('a')) + "e%CC%81z");
}

namespace {

struct Built
{
    std::optional<QNetworkRequest> request;
    QByteArray body;
    QString url() const { return request ? request->url().toString(QUrl::FullyEncoded) : QString(); }
};

Built build(const QString &method, const QString &url, const std::optional<QVariant> &parameters,
            HTTPRequestSerializer::BodyKind kind = HTTPRequestSerializer::BodyKind::Form,
            const QNetworkRequest &headers = QNetworkRequest())
{
    Built built;
    Error error;
    built.request =
        HTTPRequestSerializer::requestWithMethod(headers, method, url, parameters, kind, &built.body, &error);
    return built;
}

} // namespace

TEST(RequestSerializer, MethodDecidesBetweenQueryAndBody)
{
    const QVariantMap args{{"k", "v w"}};
    const Built get = build("GET", "http://h.test/p?x=1", args);
    ASSERT_TRUE(get.request);
    EXPECT_EQ(get.url(), "http://h.test/p?x=1&k=v%20w");
    EXPECT_TRUE(get.body.isEmpty());
    EXPECT_FALSE(get.request->hasRawHeader("Content-Type"));
    EXPECT_EQ(build("DELETE", "http://h.test/p", args).url(), "http://h.test/p?k=v%20w");
    EXPECT_EQ(build("HEAD", "http://h.test/p", std::nullopt).url(), "http://h.test/p");

    const Built put = build("PUT", "http://h.test/p", args);
    EXPECT_EQ(put.body, "k=v%20w");
    EXPECT_EQ(put.request->rawHeader("content-type"), "application/x-www-form-urlencoded");
    const Built empty = build("POST", "http://h.test/p", std::nullopt);
    EXPECT_TRUE(empty.body.isEmpty());
    EXPECT_EQ(empty.request->rawHeader("Content-Type"), "application/x-www-form-urlencoded");

    QNetworkRequest plain;
    plain.setRawHeader("content-type", "text/plain");
    EXPECT_EQ(build("POST", "http://h.test/p", args, HTTPRequestSerializer::BodyKind::Form, plain)
                  .request->rawHeader("Content-Type"),
              "text/plain");

    const Built posted = build("POST", "http://h.test/p", args, HTTPRequestSerializer::BodyKind::JSON);
    EXPECT_EQ(posted.body, R"({"k":"v w"})");
    EXPECT_EQ(posted.request->rawHeader("Content-Type"), "application/json");
    EXPECT_FALSE(build("POST", "http://h.test/p", QVariant("fragment"), HTTPRequestSerializer::BodyKind::JSON)
                     .request);
    EXPECT_FALSE(build("POST", "http://h.test/p", QVariantMap{{"when", QDateTime::currentDateTimeUtc()}},
                       HTTPRequestSerializer::BodyKind::JSON)
                     .request)
        << "a date is no JSON value";

    EXPECT_FALSE(build("GET", "relative/path", args).request);
    EXPECT_FALSE(build("GET", "", args).request);
}

TEST(RequestSerializer, DefaultHeaderTexts)
{
    EXPECT_EQ(HTTPRequestSerializer::acceptLanguageFromLanguages({"zh-Hans-CN", "en-US"}),
              "zh-Hans-CN;q=1, en-US;q=0.9");
    EXPECT_EQ(HTTPRequestSerializer::acceptLanguageFromLanguages({"a", "b", "c", "d", "e", "f", "g"}),
              "a;q=1, b;q=0.9, c;q=0.8, d;q=0.7, e;q=0.6, f;q=0.5");
    EXPECT_EQ(HTTPRequestSerializer::acceptLanguageFromLanguages({}), "");

    EXPECT_EQ(HTTPRequestSerializer::userAgentFrom("bootdrive", "1.0.0", "12"),
              "bootdrive/1.0.0 (Mac OS X 12)");
    EXPECT_EQ(HTTPRequestSerializer::userAgentFrom("Démarreur", "1.0", "12"), "Demarreur/1.0 (Mac OS X 12)");
    EXPECT_EQ(HTTPRequestSerializer::userAgentFrom("启动盘", "2", "12"), "qi dong pan/2 (Mac OS X 12)");
    EXPECT_EQ(HTTPRequestSerializer::userAgentFrom("x", "1", "12 ☃"), "x/1 (Mac OS X 12 )");

    // Set on every request unless it has its own, whatever the letter case of the name.
    const Built built = build("GET", "http://h.test/p", std::nullopt);
    EXPECT_EQ(built.request->rawHeader("User-Agent").left(10), "bootdrive/");
    EXPECT_FALSE(built.request->rawHeader("Accept-Language").isEmpty());
    QNetworkRequest own;
    own.setRawHeader("user-agent", "custom/1");
    own.setRawHeader("ACCEPT-LANGUAGE", "de");
    const Built kept =
        build("GET", "http://h.test/p", std::nullopt, HTTPRequestSerializer::BodyKind::Form, own);
    EXPECT_EQ(kept.request->rawHeader("User-Agent"), "custom/1");
    EXPECT_EQ(kept.request->rawHeader("Accept-Language"), "de");
    EXPECT_EQ(kept.request->rawHeaderList().size(), 2);
}
