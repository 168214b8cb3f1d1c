// Catalog panel measurements, each in a process of its own so that peak memory is its own:
//  1. A catalog of 20,000 entries (about 5 MB) from a loopback service: the time from the service's answer
//     to the first painted catalog items, as a ratio to the MEDIAN time QJsonDocument::fromJson(body)
//     .toVariant() takes for the same body in the same process (runs before the window opens and after the
//     scroll, so that the machine's drift hits both), at most 2x; the longest the GUI thread was held from
//     the answer until the list had been scrolled from end to end, within one 60 Hz frame (16 ms); the
//     process's peak resident memory.
//  2. A screen of ten catalog items whose logos are large pictures (1024 x 1024 and 4000 x 3000), at twice
//     the pixel density: the memory held once they are shown, within 8 MB, and what the logo cache keeps.
// Each part prints its rows; the parent prints them after every part's own lines.
#include "UI/FileViewItem.h"
#include "UI/MainViewController.h"
#include "WebImage/WebImageLoader.h"
#include "common/BenchRow.h"
#include "support/GuiWatchdog.h"
#include "support/LocalHttpServer.h"
#include "support/ProcessMemory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Notes when a catalog item is first painted.
class PaintWatch : public QObject
{
public:
    std::atomic<bool> painted{false};
    Clock::time_point at;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!painted && event->type() == QEvent::Paint && qobject_cast<FileViewItem *>(watched)) {
            at = Clock::now();
            painted = true;
        }
        return false;
    }
};

// The GUI thread waits in its event loop as in the application, instead of spinning.
void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// What decoding the answer alone costs: the median of a few runs of Qt's JSON reader into variants.
std::vector<double> decodeTimes(const QByteArray &body, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        const QVariant decoded = QJsonDocument::fromJson(body).toVariant();
        times.push_back(msSince(start));
        if (decoded.toMap().value(QStringLiteral("data")).toList().isEmpty())
            std::printf("the answer did not decode\n");
    }
    return times;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(2);
    loop.exec();
    return condition();
}

int catalog(int argc, char **argv)
{
    constexpr int entries = 20000;
    LocalHttpServer service;
    std::string body = R"({"code":0,"message":"ok","data":[)";
    for (int i = 0; i < entries; ++i)
        body += std::string(i ? "," : "") + R"({"name":"Install macOS )" + std::to_string(i) +
                R"(","version":"10.14.6","release_date":"2019-09-24","info":"macOS Mojave 带来深色模式、)" +
                R"(动态桌面与全新的 Mac App Store。",)" + R"("logo_url":")" +
                service.url("/logo.png").toString().toStdString() +
                R"(","download_url":"https://127.0.0.1/dl.dmg"})";
    body += "]}";
    const std::string logo = LocalHttpServer::png(QColor(30, 110, 220), 256);
    std::atomic<Clock::time_point> answeredAt{Clock::time_point()};
    service.setResponder([&](const LocalHttpServer::Seen &request) {
        if (request.path != "/api/installation-image-list")
            return LocalHttpServer::Answer{{}, 404};
        std::this_thread::sleep_for(std::chrono::milliseconds(400)); // the window settles first
        answeredAt = Clock::now();
        return LocalHttpServer::Answer{body, 200, "application/json"};
    });
    service.setRoute("/logo.png", {logo, 200, "image/png"});
    qputenv("BOOTDRIVE_SERVICE_URL", service.origin().toUtf8());
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());

    QApplication app(argc, argv);
    const QByteArray answer = QByteArray::fromStdString(body);
    std::vector<double> decoding = decodeTimes(answer, 3);
    PaintWatch watch;
    app.installEventFilter(&watch);
    MainViewController window;
    window.resize(920, 580);
    window.viewDidLoad();
    window.show();
    runEvents(150);
    testsupport::GuiWatchdog watchdog; // from here: the answer, the first items, the scroll
    if (!waitFor([&] { return watch.painted.load(); }, 60000)) {
        std::printf("the catalog never showed\n");
        bench::ratioRow("catalog answer to first painted items", 60000, median(decoding), "ms", 2.0);
        return 1;
    }
    const double firstPaint = std::chrono::duration<double, std::milli>(watch.at - answeredAt.load()).count();
    const Clock::time_point scrollStart = Clock::now();
    CollectionView &list = *window.collectionView;
    for (int step = 0; step <= 100; ++step) {
        list.scrollToItem(step * (entries - 1) / 100);
        runEvents(10);
    }
    const double scrolled = msSince(scrollStart);
    runEvents(300);
    const int stall = watchdog.longestStallMs();
    for (double time : decodeTimes(answer, 3))
        decoding.push_back(time);
    const double decoded = median(decoding);
    std::printf("catalog of %d entries (%.1f MB answer)\n", list.numberOfItems(), body.size() / 1e6);
    std::printf("  answer to first painted items: %.0f ms\n", firstPaint);
    std::printf(
        "  the answer through QJsonDocument::fromJson(...).toVariant(): %.0f ms (median of %zu runs)\n",
        decoded, decoding.size());
    std::printf(
        "  longest GUI-thread stall (answer, first items, 101 scroll steps end to end in %.0f ms): %lld ms\n",
        scrolled, static_cast<long long>(stall));
    std::printf("  item widgets: %lld\n", static_cast<long long>(list.findChildren<FileViewItem *>().size()));
    std::printf("  peak resident memory of the process: %.0f MB\n",
                testsupport::peakResidentBytes() / 1048576.0);
    bench::ratioRow("catalog answer to first painted items", firstPaint, decoded, "ms", 2.0);
    bench::budgetRow("catalog longest GUI-thread stall", stall, "ms", 16);
    return 0;
}

int logos(int argc, char **argv)
{
    LocalHttpServer service;
    const std::pair<int, int> sizes[] = {{1024, 1024}, {4000, 3000}};
    std::vector<std::string> pictures;
    for (int i = 0; i < 10; ++i) {
        const auto [w, h] = sizes[i % 2];
        pictures.push_back(LocalHttpServer::png(QColor(20 * i, 255 - 20 * i, 128), w, h));
    }
    for (size_t i = 0; i < pictures.size(); ++i)
        service.setRoute("/logo" + std::to_string(i) + ".png", {pictures[i], 200, "image/png"});
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    QWidget screen;
    auto *column = new QVBoxLayout(&screen);
    std::vector<FileViewItem *> items;
    for (int i = 0; i < 10; ++i) {
        auto *item = new FileViewItem;
        item->setFixedSize(400, 60);
        column->addWidget(item);
        items.push_back(item);
    }
    screen.show();
    runEvents(200);
    const qint64 before = testsupport::residentBytes();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 10; ++i) {
        auto model = std::make_shared<MacOSModel>();
        model->setName(QStringLiteral("Logo %1").arg(i));
        model->setLogoUrl(service.url("/logo" + std::to_string(i) + ".png").toString());
        items[static_cast<size_t>(i)]->setMacOSModel(model);
    }
    // The placeholder is drawn at 1x; a logo comes marked with the screen's density.
    const auto allShown = [&] {
        return std::all_of(items.begin(), items.end(), [](FileViewItem *item) {
            return item->logoImageView->pixmap().devicePixelRatio() > 1;
        });
    };
    waitFor(allShown, 30000);
    const double shownAfter = clock.elapsed();
    runEvents(500);
    const qint64 held = testsupport::residentBytes() - before;
    const QPixmap sample = items.front()->logoImageView->pixmap();
    std::printf("ten logos (five 1024 x 1024, five 4000 x 3000) in 44 x 44 point views at %.0fx\n",
                screen.devicePixelRatioF());
    std::printf("  shown after %.0f ms, each as %d x %d pixels\n", shownAfter, sample.width(),
                sample.height());
    std::printf("  memory held once shown: %.1f MB (logo cache: %.2f MB of %.0f MB)\n", held / 1048576.0,
                WebImageLoader::shared().memoryCache().totalCost() / 1048576.0,
                WebImageLoader::shared().memoryCache().maxCost() / 1048576.0);
    std::printf("  peak resident memory of the process: %.0f MB\n",
                testsupport::peakResidentBytes() / 1048576.0);
    if (testsupport::memoryIsMeasurable())
        bench::budgetRow("logos memory held once shown", held / 1048576.0, "MB", 8);
    else
        bench::skippedRow("logos memory held once shown",
                          "resident memory says nothing under AddressSanitizer");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const QByteArray part = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (part == "catalog")
        return catalog(argc, argv);
    if (part == "logos")
        return logos(argc, argv);
    // Each part's own lines are passed on when it ends; the rows of all come last.
    int status = 0;
    QByteArray rows;
    for (const char *each : {"catalog", "logos"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QString::fromLocal8Bit(argv[0]), {QString::fromLatin1(each)});
        child.waitForFinished(-1);
        bool rowed = false;
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            if (line.startsWith("bench-row\t")) {
                rows += line + '\n';
                rowed = true;
            } else if (!line.isEmpty()) {
                std::printf("%s\n", line.constData());
            }
        }
        const int exit = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 128;
        if (exit != 0 && !rowed)
            std::printf("the %s part ended with status %d before it measured anything\n", each, exit);
        status = std::max(status, exit);
    }
    std::fputs(rows.constData(), stdout);
    return status;
}
