#include "WebImage/WebImageLoader.h"

#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QNetworkDiskCache>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::spin;
using testsupport::waitUntil;

namespace {

const QRgb Gray = QColor(128, 128, 128).rgb();
const QRgb Red = QColor(Qt::red).rgb();
const QRgb Green = QColor(Qt::green).rgb();
const QRgb Blue = QColor(Qt::blue).rgb();

QImage solid(QRgb color)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// The colour of the label's picture; 0 when it shows none.
QRgb shown(const QLabel &label)
{
    const QPixmap pixmap = label.pixmap();
    return pixmap.isNull() ? 0 : pixmap.toImage().pixel(0, 0);
}

LocalHttpServer::Answer png(QRgb color, int delayMs = 0)
{
    return {LocalHttpServer::png(QColor(color)), 200, "image/png", delayMs};
}

// The files the loader keeps in its folder.
QStringList storedFiles(const QString &folder)
{
    QStringList files;
    for (QDirIterator it(folder, {"*.d"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    return files;
}

class WebImageLoaderTest : public ::testing::Test
{
protected:
    std::unique_ptr<WebImageLoader> makeLoader(qint64 memoryBudget = WebImageLoader::DefaultMemoryBudget)
    {
        return std::make_unique<WebImageLoader>(folder.path(), memoryBudget);
    }
    void show(QLabel &label, const std::string &path)
    {
        loader->setImageWithURL(&label, server.url(path), placeholder);
    }

    LocalHttpServer server;
    QTemporaryDir folder;
    std::unique_ptr<WebImageLoader> loader = makeLoader();
    QImage placeholder = solid(Gray);
};

TEST_F(WebImageLoaderTest, ShowsThePlaceholderAtOnceThenThePicture)
{
    server.setRoute("/red.png", png(Red, 200));
    QLabel label;
    label.setPixmap(QPixmap::fromImage(solid(Blue)));
    loader->setImageWithURL(&label, server.url("/red.png"), QImage());
    EXPECT_TRUE(label.pixmap().isNull()) << "no placeholder: the earlier picture must go";

    // Asking again for the same address while it is on its way keeps the one fetch.
    show(label, "/red.png");
    EXPECT_EQ(shown(label), Gray);
    ASSERT_TRUE(waitUntil([&] { return shown(label) == Red; }));
    EXPECT_EQ(server.requests("/red.png"), 1);
}

TEST_F(WebImageLoaderTest, ALaterCallSupersedesAnEarlierOne)
{
    server.setRoute("/slow.png", png(Red, 400));
    server.setRoute("/fast.png", png(Green));
    QLabel label;
    show(label, "/slow.png");
    ASSERT_TRUE(waitUntil([&] { return server.requests("/slow.png") == 1; }))
        << "the first fetch is under way";
    show(label, "/fast.png");
    ASSERT_TRUE(waitUntil([&] { return shown(label) == Green; }));
    spin(700); // well past the moment the first picture would have arrived
    EXPECT_EQ(shown(label), Green);
    EXPECT_EQ(server.requests("/slow.png"), 1);
    EXPECT_TRUE(storedFiles(folder.path()).size() == 1) << "the abandoned fetch stored nothing";
}

TEST_F(WebImageLoaderTest, AFailedFetchLeavesThePlaceholderAndIsNotRemembered)
{
    server.setRoute("/missing.png", {LocalHttpServer::png(Qt::red), 404, "image/png", 0});
    server.setRoute("/page.html", {"<html><body>not a picture</body></html>", 200, "text/html", 0});
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/logo.png").arg(LocalHttpServer::closedPort()));
    for (const QUrl &url : {server.url("/missing.png"), server.url("/page.html"), refused, QUrl(),
                            QUrl(QStringLiteral("not a url")), QUrl(QStringLiteral("ftp://127.0.0.1/a.png")),
                            QUrl(QStringLiteral("file:///etc/passwd"))}) {
        SCOPED_TRACE(url.toString().toStdString());
        QLabel label;
        loader->setImageWithURL(&label, url, placeholder);
        ASSERT_TRUE(waitUntil([&] { return loader->loadsUnderWay() == 0; }));
        spin(50);
        EXPECT_EQ(shown(label), Gray);
    }
    EXPECT_TRUE(storedFiles(folder.path()).isEmpty());

    server.setRoute("/missing.png", png(Red));
    QLabel label;
    show(label, "/missing.png");
    EXPECT_TRUE(waitUntil([&] { return shown(label) == Red; }));
    EXPECT_EQ(server.requests("/missing.png"), 2);
}

TEST_F(WebImageLoaderTest, AMemoryHitIsShownInsideTheCall)
{
    server.setRoute("/red.png", png(Red));
    QLabel first, second;
    show(first, "/red.png");
    ASSERT_TRUE(waitUntil([&] { return shown(first) == Red; }));
    show(second, "/red.png");
    EXPECT_EQ(shown(second), Red);
    spin(100);
    EXPECT_EQ(server.requests("/red.png"), 1);
}

TEST_F(WebImageLoaderTest, AStoredPictureNeedsNoRequestWhateverTheServerSaidAboutCaching)
{
    // Headers that forbid any HTTP cache to keep the answer, or to use it again without asking.
    server.setRoute("/red.png", {LocalHttpServer::png(Qt::red),
                                 200,
                                 "image/png",
                                 0,
                                 {{"Cache-Control", "no-store, no-cache, max-age=0, must-revalidate"},
                                  {"Pragma", "no-cache"},
                                  {"Expires", "0"}}});
    QLabel label;
    show(label, "/red.png");
    ASSERT_TRUE(waitUntil([&] { return shown(label) == Red; }));

    loader = makeLoader(); // a new process, as far as the memory cache goes
    QLabel again;
    show(again, "/red.png");
    EXPECT_EQ(shown(again), Gray) << "the stored bytes are read in the background";
    ASSERT_TRUE(waitUntil([&] { return shown(again) == Red; }));
    EXPECT_EQ(server.requests("/red.png"), 1);
}

TEST_F(WebImageLoaderTest, DamagedOrOldStoredPicturesAreFetchedAfresh)
{
    server.setRoute("/red.png", png(Red));
    QLabel label;
    show(label, "/red.png");
    ASSERT_TRUE(waitUntil([&] { return shown(label) == Red && storedFiles(folder.path()).size() == 1; }));

    const auto rewrite = [&](const QByteArray &bytes) {
        QFile file(storedFiles(folder.path()).value(0));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const std::function<void()> damages[] = {
        [&] { rewrite("garbage"); },
        [&] { // the store's own format, holding bytes that are no picture
            QFile file(storedFiles(folder.path()).value(0));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray stored = file.readAll();
            const QByteArray picture = QByteArray::fromStdString(LocalHttpServer::png(Qt::red));
            rewrite(stored.left(stored.indexOf(picture)) + QByteArray(picture.size(), 'x'));
        },
        [&] { // stored more than a week ago
            QNetworkDiskCache cache;
            cache.setCacheDirectory(folder.path());
            QNetworkCacheMetaData metaData = cache.metaData(server.url("/red.png"));
            metaData.setExpirationDate(QDateTime::currentDateTimeUtc().addSecs(-1));
            cache.updateMetaData(metaData);
        },
    };
    int expectedRequests = 1;
    for (const auto &damage : damages) {
        damage();
        loader = makeLoader();
        QLabel fresh;
        show(fresh, "/red.png");
        ASSERT_TRUE(waitUntil([&] { return shown(fresh) == Red; }));
        EXPECT_EQ(server.requests("/red.png"), ++expectedRequests);
        ASSERT_TRUE(waitUntil([&] { return storedFiles(folder.path()).size() == 1; }));
    }
}

TEST_F(WebImageLoaderTest, ViewsAskingForOneAddressShareOneRequest)
{
    server.setRoute("/slow.png", png(Red, 300));
    server.setRoute("/green.png", png(Green));
    QLabel first, second, reused;
    show(first, "/slow.png");
    show(second, "/slow.png");
    show(reused, "/slow.png");
    show(reused, "/green.png");
    ASSERT_TRUE(waitUntil([&] { return shown(first) == Red && shown(second) == Red; }));
    spin(100);
    EXPECT_EQ(shown(reused), Green);
    EXPECT_EQ(server.requests("/slow.png"), 1);
}

TEST_F(WebImageLoaderTest, TheMemoryCacheEvictsTheLeastRecentlyUsedBeyondItsBudget)
{
    // 8 x 8 pictures of 4 bytes a pixel: two fit.
    loader = makeLoader(600);
    server.setRoute("/a.png", png(Red));
    server.setRoute("/b.png", png(Green));
    server.setRoute("/c.png", png(Blue));
    QLabel a, b, c, again;
    show(a, "/a.png");
    ASSERT_TRUE(waitUntil([&] { return shown(a) == Red; }));
    show(b, "/b.png");
    ASSERT_TRUE(waitUntil([&] { return shown(b) == Green; }));
    show(again, "/a.png"); // a is now more recent than b
    EXPECT_EQ(shown(again), Red);
    show(c, "/c.png");
    ASSERT_TRUE(waitUntil([&] { return shown(c) == Blue; }));
    EXPECT_LE(loader->memoryCache().totalCost(), 600);

    QLabel probe;
    show(probe, "/a.png");
    EXPECT_EQ(shown(probe), Red);
    show(probe, "/c.png");
    EXPECT_EQ(shown(probe), Blue);
    show(probe, "/b.png");
    EXPECT_EQ(shown(probe), Gray) << "evicted: back from the disk, not from memory";
    EXPECT_TRUE(waitUntil([&] { return shown(probe) == Green; }));
    for (const char *path : {"/a.png", "/b.png", "/c.png"})
        EXPECT_EQ(server.requests(path), 1) << path;
}

TEST_F(WebImageLoaderTest, ViewsDestroyedBeforeTheirPictureArrivesAreLeftAlone)
{
    server.setRoute("/slow.png", png(Red, 200));
    server.setRoute("/alone.png", png(Green, 200));
    auto *doomed = new QLabel;
    QLabel survivor;
    show(*doomed, "/slow.png");
    show(survivor, "/slow.png");
    auto *lonely = new QLabel;
    show(*lonely, "/alone.png");
    ASSERT_TRUE(
        waitUntil([&] { return server.requests("/slow.png") == 1 && server.requests("/alone.png") == 1; }));
    delete doomed;
    delete lonely; // nobody waits for its picture any more: the fetch stops and nothing is stored
    EXPECT_TRUE(waitUntil([&] { return shown(survivor) == Red; }));
    spin(400);
    EXPECT_EQ(storedFiles(folder.path()).size(), 1);

    // A loader that goes takes its loads with it.
    QLabel orphan;
    auto gone = makeLoader();
    gone->setImageWithURL(&orphan, server.url("/alone.png"), placeholder);
    gone.reset();
    spin(500);
    EXPECT_EQ(shown(orphan), Gray);
}

TEST_F(WebImageLoaderTest, TheProcessWideLoaderCachesInTheUsersCacheFolder)
{
    static QTemporaryDir home; // the process-wide loader keeps the folder it was made with
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", home.path().toUtf8());
    server.setRoute("/red.png", png(Red));
    QLabel label;
    WebImageLoader::shared().setImageWithURL(&label, server.url("/red.png"), placeholder);
    EXPECT_TRUE(waitUntil([&] { return shown(label) == Red; }));
    qputenv("XDG_CACHE_HOME", saved);

    EXPECT_EQ(WebImageLoader::shared().diskFolder(),
              home.path() + QStringLiteral("/bootdrive-tests/WebImage"));
    EXPECT_TRUE(waitUntil([&] { return storedFiles(WebImageLoader::shared().diskFolder()).size() == 1; }));
}

} // namespace
