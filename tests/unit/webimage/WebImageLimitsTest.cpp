#include "WebImage/WebImageManager.h"
#include "WebImage/WebImageMemoryCache.h"
#include "WebImage/WebImageView.h"
#include "support/EndlessServer.h"
#include "support/EventLoop.h"
#include "support/ProcessMemory.h"
#include "support/RouteServer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::waitUntil;

namespace {

// A PNG of one colour: small on the wire, large once decoded.
std::string bigPng(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data().toStdString();
}

class WebImageLimits : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    QImage placeholder = [] {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::gray);
        return image;
    }();
};

TEST_F(WebImageLimits, PicturesAreDecodedForTheirViewsAndHugeOnesRefused)
{
    static const std::string large = bigPng(4000, 3000); // 46 MiB decoded, a few KiB on the wire
    static const std::string huge = bigPng(4097, 16);
    RouteServer server;
    WebImageManager manager(folder.path());
    const qint64 before = testsupport::residentBytes();
    testsupport::PeakMemory memory;

    // Six views of 44 x 44 points, as the catalog's logos: each holds a 44 x 33 picture, not 4000 x 3000.
    std::vector<std::unique_ptr<QLabel>> views;
    for (int i = 0; i < 6; ++i) {
        const std::string path = "/large" + std::to_string(i) + ".png";
        server.setRoute(path, {large, 200, "image/png", 0});
        auto view = std::make_unique<QLabel>();
        view->resize(44, 44);
        WebImageView::setImageWithURL(view.get(), server.url(path), placeholder, manager);
        views.push_back(std::move(view));
    }
    ASSERT_TRUE(waitUntil(
        [&] {
            memory.sample();
            return std::all_of(views.begin(), views.end(),
                               [](const auto &view) { return view->pixmap().size() != QSize(4, 4); });
        },
        20000));
    for (const auto &view : views)
        EXPECT_EQ(view->pixmap().size(), QSize(44, 33));
    EXPECT_LE(manager.memoryCache().totalCost(), 6 * 44 * 33 * 4);
    EXPECT_LT(memory.growth(), 100LL << 20) << "decoding never holds all six at full size at once";
    EXPECT_LT(testsupport::residentBytes() - before, 16LL << 20) << "what is kept once they are shown";

    // At twice the density the picture has twice the pixels and says so.
    QImage dense;
    manager.loadImage(server.url("/large0.png"), QSize(88, 88), 2.0,
                      [&](const QImage &image, WebImageManager::Source) { dense = image; });
    ASSERT_TRUE(waitUntil([&] { return !dense.isNull(); }));
    EXPECT_EQ(dense.size(), QSize(88, 66));
    EXPECT_EQ(dense.devicePixelRatio(), 2.0);

    // A picture that claims more than 4096 pixels across is refused, however small its view.
    server.setRoute("/huge.png", {huge, 200, "image/png", 0});
    bool done = false;
    WebImageManager::Source source = WebImageManager::Source::Disk;
    manager.loadImage(server.url("/huge.png"), QSize(44, 44), 1.0,
                      [&](const QImage &, WebImageManager::Source s) {
                          source = s;
                          done = true;
                      });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(source, WebImageManager::Source::None);
}

TEST_F(WebImageLimits, PicturesThatNeverEndFailWithinTheLimits)
{
    struct Case
    {
        const char *what;
        EndlessServer::Pace pace;
        platform::TransferLimits limits;
    };
    // The logo cap itself for the flood; a short total limit for the trickle, which no idle limit ends.
    const std::vector<Case> cases = {
        {"a flood", EndlessServer::Pace::Flood, platform::TransferLimits::image()},
        {"a trickle", EndlessServer::Pace::Trickle, {1 << 20, 30, 0.5}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EndlessServer server(c.pace, "image/png", "\x89PNG\r\n\x1a\n");
        WebImageManager manager(folder.path(), WebImageManager::DefaultMemoryBudget,
                                WebImageManager::DefaultDiskBudget, WebImageManager::DefaultDiskMaxAge,
                                c.limits);
        QLabel view;
        view.resize(44, 44);
        testsupport::PeakMemory memory;
        QElapsedTimer clock;
        clock.start();
        bool done = false;
        WebImageView::setImageWithURL(&view, server.url("/logo.png"), placeholder, manager);
        manager.loadImage(server.url("/logo.png"), QSize(44, 44), view.devicePixelRatioF(),
                          [&](const QImage &image, WebImageManager::Source) { done = image.isNull(); });
        ASSERT_TRUE(waitUntil(
            [&] {
                memory.sample();
                return done;
            },
            10000));
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(view.pixmap().size(), QSize(4, 4)) << "the placeholder stays";
        EXPECT_LT(server.bytesSent(), 16LL << 20);
        EXPECT_LT(memory.growth(), 64LL << 20);
    }
}

} // namespace
