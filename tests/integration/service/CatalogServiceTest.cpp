#include "Service/DeviceInfomation.h"
#include "Service/InstallationImageViewModel.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <gtest/gtest.h>

using namespace platform;

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The catalog-service program on a free port of 127.0.0.1, and the client pointed at it.
class CatalogService
{
public:
    explicit CatalogService(const QStringList &switches)
    {
        m_process.setProgram(QStringLiteral(CATALOG_SERVICE_PROGRAM));
        m_process.setArguments(QStringList{"--port", "0", "--quiet"} + switches);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        testsupport::waitUntil([&] { return m_process.canReadLine(); }, 10000);
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        if (line.startsWith(QLatin1String("listening on 127.0.0.1:")))
            m_origin = QStringLiteral("http://") + line.mid(QStringLiteral("listening on ").size());
        m_previousUrl = qgetenv("BOOTDRIVE_SERVICE_URL");
        qputenv("BOOTDRIVE_SERVICE_URL", m_origin.toUtf8());
    }
    ~CatalogService()
    {
        qputenv("BOOTDRIVE_SERVICE_URL", m_previousUrl);
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    const QString &origin() const { return m_origin; }
    int exitCode() const { return m_process.exitCode(); }
    QProcess &process() { return m_process; }

    // GET on the service itself: status, media type, body.
    std::tuple<int, QString, QByteArray> get(const QString &path) const
    {
        static QNetworkAccessManager *network = new QNetworkAccessManager;
        QNetworkReply *reply = network->get(QNetworkRequest(QUrl(m_origin + path)));
        testsupport::waitUntil([reply] { return reply->isFinished(); });
        const auto result =
            std::make_tuple(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                            reply->header(QNetworkRequest::ContentTypeHeader)
                                .toString()
                                .section(QLatin1Char(';'), 0, 0)
                                .trimmed()
                                .toLower(),
                            reply->readAll());
        reply->deleteLater();
        return result;
    }

    QJsonObject stats() const { return QJsonDocument::fromJson(std::get<2>(get("/_stats"))).object(); }

private:
    QProcess m_process;
    QString m_origin;
    QByteArray m_previousUrl;
};

struct Results
{
    int catalogSuccesses = 0;
    int catalogFailures = 0;
    std::vector<MacOSModelPtr> items;
    int updateSuccesses = 0;
    int updateFailures = 0;
    QString link;
};

// Issues both calls at once, as the window does when it opens, and waits for both answers.
Results fetchBoth(const std::shared_ptr<InstallationImageViewModel> &model)
{
    auto results = std::make_shared<Results>();
    model->installationImageListSuccess(
        [results](const std::vector<MacOSModelPtr> &items) {
            ++results->catalogSuccesses;
            results->items = items;
        },
        [results](const QVariant &) { ++results->catalogFailures; });
    model->updateAppSuccess(
        [results](const QString &link) {
            ++results->updateSuccesses;
            results->link = link;
        },
        [results](const QVariant &) { ++results->updateFailures; });
    testsupport::waitUntil(
        [&] {
            return results->catalogSuccesses + results->catalogFailures > 0 &&
                   results->updateSuccesses + results->updateFailures > 0;
        },
        15000);
    testsupport::spin(30);
    return *results;
}

} // namespace

TEST(CatalogServiceProgram, ServesTheSampleCatalogInOrderWithItsLogos)
{
    CatalogService service({});
    ASSERT_FALSE(service.origin().isEmpty());
    auto model = std::make_shared<InstallationImageViewModel>();
    const Results results = fetchBoth(model);
    ASSERT_EQ(results.catalogSuccesses, 1);
    EXPECT_EQ(results.updateFailures, 1); // no notice unless asked for

    QFile sample(QStringLiteral(CATALOG_SERVICE_SAMPLE));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QJsonArray installers =
        QJsonDocument::fromJson(sample.readAll()).object().value("installers").toArray();
    ASSERT_EQ(results.items.size(), static_cast<size_t>(installers.size()));
    ASSERT_GE(results.items.size(), 5u);
    for (size_t i = 0; i < results.items.size(); ++i) {
        const QJsonObject entry = installers.at(static_cast<qsizetype>(i)).toObject();
        const auto &item = results.items[i];
        EXPECT_EQ(item->name(), entry.value("name").toString());
        EXPECT_EQ(item->version(), entry.value("version").toString());
        EXPECT_EQ(item->releaseDate(), entry.value("release_date").toString());
        EXPECT_EQ(item->info(), entry.value("info").toString());
        EXPECT_TRUE(item->installMacOS()) << item->name().toStdString();
        EXPECT_TRUE(item->logoUrl().startsWith(service.origin() + "/logos/"));
        const auto [status, type, bytes] = service.get(item->logoUrl().mid(service.origin().size()));
        EXPECT_EQ(status, 200) << item->logoUrl().toStdString();
        EXPECT_TRUE(type == "image/svg+xml" || type == "image/png") << type.toStdString();
        EXPECT_FALSE(bytes.isEmpty());
    }
    // The descriptions differ in length, and so do the items' heights.
    double lowest = 1e9;
    double highest = 0;
    for (const auto &item : results.items) {
        lowest = std::min(lowest, item->cellHeight());
        highest = std::max(highest, item->cellHeight());
    }
    EXPECT_GT(highest, lowest);
    EXPECT_EQ(std::get<0>(service.get("/logos/..%2Fcatalog.json")), 404);

    const QJsonObject stats = service.stats();
    EXPECT_EQ(stats.value("counts").toObject().value("/api/installation-image-list").toInt(), 1);
    EXPECT_EQ(stats.value("counts").toObject().value("/api/update-app").toInt(), 1);
    const QString catalogBody =
        stats.value("lastBodies").toObject().value("/api/installation-image-list").toString();
    const QString updateBody = stats.value("lastBodies").toObject().value("/api/update-app").toString();
    EXPECT_TRUE(catalogBody.contains("&platform=0&"));
    EXPECT_FALSE(updateBody.contains("platform="));
    EXPECT_TRUE(updateBody.startsWith("bundle_identifier=app.bootdrive.BootDrive&deviceIPAddress="));
}

TEST(CatalogServiceProgram, SwitchesShapeTheAnswers)
{
    {
        CatalogService service({"--update"});
        const Results results = fetchBoth(std::make_shared<InstallationImageViewModel>());
        ASSERT_EQ(results.updateSuccesses, 1);
        EXPECT_EQ(results.link, service.origin() + "/downloads/BootDrive-latest.zip");
        EXPECT_EQ(std::get<0>(service.get("/downloads/BootDrive-latest.zip")), 200);
    }
    {
        CatalogService service({"--update-url", "https://example.invalid/BootDrive-2.0.zip"});
        EXPECT_EQ(fetchBoth(std::make_shared<InstallationImageViewModel>()).link,
                  "https://example.invalid/BootDrive-2.0.zip");
    }
    {
        CatalogService service({"--error", "--update"});
        auto model = std::make_shared<InstallationImageViewModel>();
        const Results results = fetchBoth(model);
        EXPECT_EQ(results.catalogFailures, 1);
        EXPECT_EQ(results.updateFailures, 1);
        EXPECT_EQ(model->message(), "服务器异常");
    }
    {
        CatalogService service({"--content-type", "text/html", "--update"});
        const Results results = fetchBoth(std::make_shared<InstallationImageViewModel>());
        EXPECT_EQ(results.catalogFailures, 1);
        EXPECT_EQ(results.updateFailures, 1);
    }
    {
        CatalogService service({"--delay", "0.5"});
        QElapsedTimer clock;
        clock.start();
        const Results results = fetchBoth(std::make_shared<InstallationImageViewModel>());
        EXPECT_EQ(results.catalogSuccesses, 1);
        EXPECT_GE(clock.elapsed(), 450);
    }
}

TEST(CatalogServiceProgram, RefusesBadSwitchesAndEndsOnTerminate)
{
    QProcess bad;
    bad.start(QStringLiteral(CATALOG_SERVICE_PROGRAM), {"--port", "70000"});
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_NE(bad.exitCode(), 0);
    bad.start(QStringLiteral(CATALOG_SERVICE_PROGRAM), {"--catalog", "/nonexistent/catalog.json"});
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_NE(bad.exitCode(), 0);

    CatalogService service({});
    ASSERT_FALSE(service.origin().isEmpty());
    service.process().terminate();
    ASSERT_TRUE(service.process().waitForFinished(5000));
    EXPECT_EQ(service.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.exitCode(), 0);
}
