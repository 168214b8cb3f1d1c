#include "WebImage/WebImageView.h"

#include "Platform/Runtime/Dispatch.h"
#include "WebImage/WebImageDiskCache.h"
#include "WebImage/WebImageManager.h"
#include "WebImage/WebImageMemoryCache.h"
#include "support/EventLoop.h"
#include "support/RouteServer.h"

#include <QDir>
#include <QFile>
#include <QLabel>
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

RouteServer::Route png(QRgb color, int delayMs = 0)
{
    return {RouteServer::png(QColor(color)), 200, "image/png", delayMs};
}

class WebImageViewTest : public ::testing::Test
{
protected:
    std::unique_ptr<WebImageManager> makeManager(qint64 memoryBudget = WebImageManager::DefaultMemoryBudget)
    {
        return std::make_unique<WebImageManager>(folder.path(), memoryBudget);
    }
    void show(QLabel &label, const std::string &path)
    {
        WebImageView::setImageWithURL(&label, server.url(path), placeholder, *manager);
    }
    // Joins the load for the address that is on its way and waits until it has been delivered.
    void settle(const QUrl &url)
    {
        bool done = false;
        manager->loadImage(url, [&done](const QImage &, WebImageManager::Source) { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
    }

    RouteServer server;
    QTemporaryDir folder;
    std::unique_ptr<WebImageManager> manager = makeManager();
    QImage placeholder = solid(Gray);
};

TEST_F(WebImageViewTest, ShowsThePlaceholderAtOnceThenThePicture)
{
    server.setRoute("/red.png", png(Red, 200));
    QLabel label;
    label.setPixmap(QPixmap::fromImage(solid(Blue)));
    WebImageView::setImageWithURL(&label, server.url("/red.png"), QImage(), *manager);
    EXPECT_TRUE(label.pixmap().isNull()) << "no placeholder: the earlier picture must go";

    // Asking again for the same address while it is on its way keeps the one fetch.
    show(label, "/red.png");
    EXPECT_EQ(shown(label), Gray);
    ASSERT_TRUE(waitUntil([&] { return shown(label) == Red; }));
    EXPECT_EQ(server.requests("/red.png"), 1);
}

TEST_F(WebImageViewTest, ALaterCallSupersedesAnEarlierOne)
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
}

TEST_F(WebImageViewTest, AFailedFetchLeavesThePlaceholderAndIsNotRemembered)
{
    server.setRoute("/missing.png", {RouteServer::png(Qt::red), 404, "image/png", 0});
    server.setRoute("/page.html", {"<html><body>not a picture</body></html>", 200, "text/html", 0});
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/logo.png").arg(RouteServer::closedPort()));
    for (const QUrl &url :
         {server.url("/missing.png"), server.url("/page.html"), refused, QUrl(),
          QUrl(QStringLiteral("not a url")), QUrl(QStringLiteral("ftp://127.0.0.1/a.png"))}) {
        SCOPED_TRACE(url.toString().toStdString());
        QLabel label;
        WebImageView::setImageWithURL(&label, url, placeholder, *manager);
        settle(url);
        spin(50);
        EXPECT_EQ(shown(label), Gray);
    }

    server.setRoute("/missing.png", png(Red));
    QLabel label;
    show(label, "/missing.png");
    EXPECT_TRUE(waitUntil([&] { return shown(label) == Red; }));
    EXPECT_EQ(server.requests("/missing.png"), 2);
}

TEST_F(WebImageViewTest, AMemoryHitIsShownInsideTheCall)
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

TEST_F(WebImageViewTest, ADiskHitNeedsNoRequestAcrossManagers)
{
    server.setRoute("/red.png", png(Red));
    const QUrl url = server.url("/red.png");
    WebImageManager::Source source = WebImageManager::Source::None;
    bool onMain = false;
    const auto record = [&](const QImage &, WebImageManager::Source from) {
        source = from;
        onMain = platform::Dispatch::isMainThread();
    };
    manager->loadImage(url, record);
    ASSERT_TRUE(waitUntil([&] { return source != WebImageManager::Source::None; }));
    EXPECT_EQ(source, WebImageManager::Source::Network);
    EXPECT_TRUE(onMain);

    manager = makeManager(); // a new process, as far as the memory cache goes
    QLabel label;
    show(label, "/red.png");
    manager->loadImage(url, record);
    EXPECT_EQ(shown(label), Gray) << "a disk hit is read in the background";
    ASSERT_TRUE(waitUntil([&] { return shown(label) == Red; }));
    EXPECT_EQ(source, WebImageManager::Source::Disk);
    EXPECT_TRUE(onMain);
    EXPECT_EQ(server.requests("/red.png"), 1);
}

TEST_F(WebImageViewTest, ADamagedCacheFileIsReplacedByAFetch)
{
    server.setRoute("/red.png", png(Red));
    const QString key = WebImageManager::cacheKeyForURL(server.url("/red.png"));
    QLabel label;
    show(label, "/red.png");
    ASSERT_TRUE(waitUntil([&] { return shown(label) == Red; }));

    const std::function<void()> damages[] = {
        [&] {
            QFile file(manager->diskCache().pathForKey(key));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("garbage");
        },
        [&] { manager->diskCache().store(key, "intact, but not a picture"); },
    };
    int expectedRequests = 1;
    for (const auto &damage : damages) {
        damage();
        manager = makeManager();
        QLabel fresh;
        show(fresh, "/red.png");
        ASSERT_TRUE(waitUntil([&] { return shown(fresh) == Red; }));
        EXPECT_EQ(server.requests("/red.png"), ++expectedRequests);
        EXPECT_EQ(manager->diskCache().read(key), QByteArray::fromStdString(RouteServer::png(Qt::red)));
    }
}

TEST_F(WebImageViewTest, ViewsAskingForOneAddressShareOneRequest)
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

TEST_F(WebImageViewTest, TheMemoryCacheEvictsTheLeastRecentlyUsedBeyondItsBudget)
{
    // 8 x 8 pictures of 4 bytes a pixel: two fit.
    manager = makeManager(600);
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
    EXPECT_LE(manager->memoryCache().totalCost(), 600);

    QLabel probe;
    show(probe, "/a.png");
    EXPECT_EQ(shown(probe), Red);
    show(probe, "/c.png");
    EXPECT_EQ(shown(probe), Blue);
    show(probe, "/b.png");
    EXPECT_EQ(shown(probe), Gray) << "evicted: back from the disk cache, not from memory";
    EXPECT_TRUE(waitUntil([&] { return shown(probe) == Green; }));
    for (const char *path : {"/a.png", "/b.png", "/c.png"})
        EXPECT_EQ(server.requests(path), 1) << path;
}

TEST_F(WebImageViewTest, AViewDestroyedBeforeItsPictureArrivesIsLeftAlone)
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
    delete lonely;
    EXPECT_TRUE(waitUntil([&] { return shown(survivor) == Red; }));
    spin(400);
}

TEST_F(WebImageViewTest, TheProcessWideManagerCachesInTheUsersCacheFolder)
{
    static QTemporaryDir home; // the process-wide manager keeps the folder it was made with
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", home.path().toUtf8());
    server.setRoute("/red.png", png(Red));
    QLabel label;
    WebImageView::setImageWithURL(&label, server.url("/red.png"), placeholder);
    EXPECT_TRUE(waitUntil([&] { return shown(label) == Red; }));
    qputenv("XDG_CACHE_HOME", saved);

    const WebImageDiskCache &disk = WebImageManager::shared().diskCache();
    EXPECT_EQ(disk.folder(), home.path() + QStringLiteral("/bootdrive-tests/WebImage"));
    EXPECT_TRUE(disk.read(WebImageManager::cacheKeyForURL(server.url("/red.png"))).has_value());
}

} // namespace
