#include "WebImage/WebImageLoader.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/ProcessMemory.h"
#include "support/TestRerun.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::waitUntil;

namespace {

// A PNG of one colour: small on the wire, large once decoded.
std::string bigPng(int width, int height)
{
    return LocalHttpServer::png(Qt::darkCyan, width, height);
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
    LocalHttpServer server;
    WebImageLoader loader(folder.path());
    const qint64 before = testsupport::residentBytes();
    testsupport::PeakMemory memory;

    // Six views of 44 x 44 points, as the catalog's logos: each holds a 44 x 33 picture, not 4000 x 3000.
    std::vector<std::unique_ptr<QLabel>> views;
    for (int i = 0; i < 6; ++i) {
        const std::string path = "/large" + std::to_string(i) + ".png";
        server.setRoute(path, {large, 200, "image/png", 0});
        auto view = std::make_unique<QLabel>();
        view->resize(44, 44);
        loader.setImageWithURL(view.get(), server.url(path), placeholder);
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
    EXPECT_LE(loader.memoryCache().totalCost(), 6 * 44 * 33 * 4);
    if (testsupport::memoryIsMeasurable()) {
        EXPECT_LT(memory.growth(), 100LL << 20) << "decoding never holds all six at full size at once";
        EXPECT_LT(testsupport::residentBytes() - before, 16LL << 20) << "what is kept once they are shown";
    }

    // A picture that claims more than 4096 pixels across is refused, however small its view.
    server.setRoute("/huge.png", {huge, 200, "image/png", 0});
    QLabel view;
    view.resize(44, 44);
    loader.setImageWithURL(&view, server.url("/huge.png"), placeholder);
    ASSERT_TRUE(waitUntil([&] { return loader.loadsUnderWay() == 0; }));
    EXPECT_EQ(server.requests("/huge.png"), 1);
    EXPECT_EQ(view.pixmap().size(), QSize(4, 4));
}

TEST_F(WebImageLimits, AtTwiceThePixelDensityAPictureHasTwiceThePixelsAndSaysSo)
{
    if (qEnvironmentVariable("QT_SCALE_FACTOR") != QLatin1String("2")) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        const auto child = testsupport::TestRerun::run(environment);
        EXPECT_EQ(child.exitCode, 0) << child.output.toStdString();
        return;
    }
    LocalHttpServer server;
    server.setRoute("/large.png", {bigPng(4000, 3000), 200, "image/png", 0});
    WebImageLoader loader(folder.path());
    QLabel view;
    view.resize(44, 44);
    ASSERT_EQ(view.devicePixelRatioF(), 2.0);
    loader.setImageWithURL(&view, server.url("/large.png"), placeholder);
    ASSERT_TRUE(waitUntil([&] { return view.pixmap().devicePixelRatio() == 2.0; }, 20000));
    EXPECT_EQ(view.pixmap().size(), QSize(88, 66));
}

TEST_F(WebImageLimits, PicturesThatNeverEndFailWithinTheLimits)
{
    struct Case
    {
        const char *what;
        LocalHttpServer::Endless endless;
        platform::TransferLimits limits;
    };
    // The logo cap itself for the flood; a short total limit for the trickle, which no idle limit ends.
    const std::vector<Case> cases = {
        {"a flood", LocalHttpServer::Endless::Flood, platform::TransferLimits::image()},
        {"a declared gigabyte", LocalHttpServer::Endless::Declared, platform::TransferLimits::image()},
        {"a trickle", LocalHttpServer::Endless::Trickle, {1 << 20, 30, 0.5}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer server(LocalHttpServer::answer(200, "image/png", "\x89PNG\r\n\x1a\n", c.endless));
        WebImageLoader loader(folder.path(), WebImageLoader::DefaultMemoryBudget, c.limits);
        QLabel view;
        view.resize(44, 44);
        testsupport::PeakMemory memory;
        QElapsedTimer clock;
        clock.start();
        loader.setImageWithURL(&view, server.url("/logo.png"), placeholder);
        ASSERT_TRUE(waitUntil(
            [&] {
                memory.sample();
                return loader.loadsUnderWay() == 0;
            },
            10000));
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(view.pixmap().size(), QSize(4, 4)) << "the placeholder stays";
        EXPECT_LT(server.bytesSent(), 16LL << 20);
        if (testsupport::memoryIsMeasurable()) {
            EXPECT_LT(memory.growth(), 64LL << 20);
        }
    }
}

} // namespace
