#include "Common/JSONText.h"
#include "UI/CollectionView.h"
#include "UI/FileViewItem.h"
#include "UI/MainViewController.h"
#include "WindowDriver.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"
#include "support/FifoTrap.h"
#include "support/GuiWatchdog.h"
#include "support/LocalHttpServer.h"
#include "support/LoopDrive.h"
#include "support/ProcessMemory.h"
#include "support/SampleInstaller.h"
#include "support/ToolsOnPath.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Catches every link handed to the default handler: web links, and the kinds a hostile service might send
// (a file, a program path, a script, a page in the link itself, a network share).
class LinkCatcher : public QObject
{
    Q_OBJECT
public:
    LinkCatcher()
    {
        for (const QString &scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~LinkCatcher() override
    {
        for (const QString &scheme : schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }

private:
    const QStringList schemes = {"http", "https", "file", "javascript", "data", "smb", ""};
};

const QStringList hostileLinks = {"file:///etc/passwd", "/usr/bin/xterm", "javascript:alert(document.cookie)",
                                  "data:text/html,<script>alert(1)</script>", "smb://attacker/share"};

// Each test's process gets its own picture cache, so what one test cached never answers another.
class CacheFolder
{
public:
    CacheFolder() { qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path())); }

private:
    QTemporaryDir m_dir;
};
const CacheFolder cacheFolder;

QImage pictureOf(QLabel *label)
{
    return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

QColor centreColour(QLabel *label)
{
    const QImage image = pictureOf(label);
    return image.isNull() ? QColor() : QColor(image.pixel(image.width() / 2, image.height() / 2));
}

QVariantMap entry(const QString &json)
{
    return JSONText::objectWithJSONString(json).value_or(QVariant()).toMap();
}

std::string words(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += i ? " word" : "word";
    return text;
}

std::string catalogJson(const LocalHttpServer &server, int count)
{
    const char *names[] = {"Install macOS Catalina", "Install macOS Mojave", "Install macOS High Sierra"};
    std::string data;
    for (int i = 0; i < count; ++i) {
        if (i)
            data += ",";
        data += std::string(R"({"name":")") + names[i] + R"(","version":"10.1)" + std::to_string(5 - i) +
                R"(","release_date":"2019-0)" + std::to_string(i + 1) + R"(-01","info":")" +
                words(4 + 20 * i) + R"(","logo_url":")" +
                server.url("/logos/" + std::to_string(i) + ".png").toString().toStdString() +
                R"(","download_url":"http://127.0.0.1/dl/)" + std::to_string(i) + R"("})";
    }
    return R"({"code":0,"message":"ok","data":[)" + data + "]}";
}

// A catalog of count entries whose descriptions are the given text.
std::string catalogOf(int count, const std::string &info)
{
    std::string data = R"({"code":0,"message":"ok","data":[)";
    data.reserve(static_cast<size_t>(count) * (info.size() + 200));
    for (int i = 0; i < count; ++i)
        data += std::string(i ? "," : "") + R"({"name":"Install macOS )" + std::to_string(i) +
                R"(","version":"10.)" + std::to_string(i % 16) + R"(","release_date":"2019-09-24","info":")" +
                info +
                R"(","logo_url":"http://127.0.0.1:9/logo.png","download_url":"https://127.0.0.1/dl.dmg"})";
    return data + "]}";
}

void useService(const LocalHttpServer &server)
{
    qputenv("BOOTDRIVE_SERVICE_URL", server.url("").toString(QUrl::StripTrailingSlash).toUtf8());
}

} // namespace

TEST(CatalogItem, ShowsTheEntryAsDeliveredAndOpensItsLink)
{
    LinkCatcher links;
    LocalHttpServer server;
    server.setRoute("/logo.png", {LocalHttpServer::png(Qt::blue), 200, "image/png", 0});
    FileViewItem item;
    item.resize(400, 80);
    auto model = MacOSModel::initWithDictionary(entry(
        QStringLiteral(
            R"({"name":"Install macOS Mojave","version":11,"release_date":"2018年9月24日","info":"深色模式 <b>not bold</b>",
            "logo_url":"%1","download_url":"http://127.0.0.1/mojave.dmg"})")
            .arg(server.url("/logo.png").toString())));
    item.setMacOSModel(model);
    EXPECT_EQ(item.nameLabel->text(), "Install macOS Mojave");
    EXPECT_EQ(item.versionLabel->text(), "11");
    EXPECT_EQ(item.dateLabel->text(), "2018年9月24日");
    EXPECT_EQ(item.infoLabel->text(), "深色模式 <b>not bold</b>");
    EXPECT_EQ(pictureOf(item.logoImageView),
              FileViewItem::placeholderImage().convertToFormat(QImage::Format_ARGB32))
        << "the placeholder shows at once";
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return centreColour(item.logoImageView) == QColor(Qt::blue); }, 5000));
    ASSERT_TRUE(item.downloadButton->isEnabled());
    QTest::mouseClick(item.downloadButton, Qt::LeftButton);
    ASSERT_EQ(links.opened.size(), 1);
    EXPECT_EQ(links.opened.first(), QUrl("http://127.0.0.1/mojave.dmg"));
}

TEST(CatalogItem, OnlyWebDownloadLinksOpen)
{
    LinkCatcher links;
    for (const QString &link : hostileLinks) {
        FileViewItem item;
        auto model = std::make_shared<MacOSModel>();
        model->setDownloadUrl(link);
        item.setMacOSModel(model);
        EXPECT_FALSE(item.downloadButton->isEnabled()) << link.toStdString();
        item.downloadAction(); // even when asked directly
    }
    EXPECT_TRUE(links.opened.isEmpty()) << links.opened.first().toString().toStdString();
}

// With nothing on the computer to open web pages, the link is not lost: an alert gives its address as text
// to select and copy.
TEST(CatalogItem, ALinkNothingCanOpenIsGivenAsText)
{
    QWidget window;
    window.resize(500, 200);
    FileViewItem item(&window);
    auto model = std::make_shared<MacOSModel>();
    model->setDownloadUrl("https://127.0.0.1/mojave.dmg");
    item.setMacOSModel(model);
    window.show();
    QTest::mouseClick(item.downloadButton, Qt::LeftButton);
    QMessageBox *alert = WindowDriver(window).waitForAlert(3000);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "无法打开链接");
    auto *address = alert->findChild<QLabel *>("alertDetailLabel");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->text(), "https://127.0.0.1/mojave.dmg");
    EXPECT_TRUE(address->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(WindowDriver::clickButton(alert, "确定"));
}

TEST(CatalogItem, AReusedItemNeverShowsTheEarlierLogo)
{
    LocalHttpServer server;
    server.setRoute("/slow.png", {LocalHttpServer::png(Qt::red), 200, "image/png", 700});
    server.setRoute("/fast.png", {LocalHttpServer::png(Qt::green), 200, "image/png", 0});
    FileViewItem item;
    item.resize(400, 80);
    item.setMacOSModel(MacOSModel::initWithDictionary(
        entry(QStringLiteral(R"({"name":"A","logo_url":"%1"})").arg(server.url("/slow.png").toString()))));
    ASSERT_TRUE(testsupport::waitUntil([&] { return server.requests("/slow.png") == 1; }, 3000));
    item.setMacOSModel(MacOSModel::initWithDictionary(
        entry(QStringLiteral(R"({"name":"B","logo_url":"%1"})").arg(server.url("/fast.png").toString()))));
    EXPECT_EQ(item.nameLabel->text(), "B");
    bool sawRed = false;
    testsupport::waitUntil(
        [&] {
            sawRed = sawRed || centreColour(item.logoImageView) == QColor(Qt::red);
            return false;
        },
        1500);
    EXPECT_FALSE(sawRed);
    EXPECT_EQ(centreColour(item.logoImageView), QColor(Qt::green));
}

TEST(CatalogItem, MissingOrFailingLogosKeepThePlaceholderAndCachedOnesNeedNoRequest)
{
    LocalHttpServer server;
    server.setRoute("/logo.png", {LocalHttpServer::png(Qt::magenta), 200, "image/png", 0});
    const QImage placeholder = FileViewItem::placeholderImage().convertToFormat(QImage::Format_ARGB32);

    FileViewItem failing;
    failing.setMacOSModel(MacOSModel::initWithDictionary(
        entry(QStringLiteral(R"({"name":"A","logo_url":"%1"})").arg(server.url("/missing.png").toString()))));
    FileViewItem bare;
    bare.setMacOSModel(MacOSModel::initWithDictionary(entry(R"({"name":"B","info":null})")));
    testsupport::spin(600);
    EXPECT_EQ(pictureOf(failing.logoImageView), placeholder);
    EXPECT_EQ(pictureOf(bare.logoImageView), placeholder);
    EXPECT_FALSE(bare.downloadButton->isEnabled()) << "no link, nothing to download";

    FileViewItem first, second;
    first.setMacOSModel(MacOSModel::initWithDictionary(
        entry(QStringLiteral(R"({"name":"C","logo_url":"%1"})").arg(server.url("/logo.png").toString()))));
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return centreColour(first.logoImageView) == QColor(Qt::magenta); }, 5000));
    second.setMacOSModel(first.macOSModel());
    EXPECT_EQ(centreColour(second.logoImageView), QColor(Qt::magenta)) << "a cached logo shows at once";
    testsupport::spin(200);
    EXPECT_EQ(server.requests("/logo.png"), 1);
}

TEST(CatalogItem, ALongerDescriptionMakesATallerItemThatStillShowsAllOfIt)
{
    // Latin text, so every line is in the system font itself (Chinese lines come from the CJK fallback font,
    // whose lines are taller).
    const QString oneLine = QStringLiteral("Short");
    const QString threeLines = QStringLiteral("First line\nSecond line\nThird line");
    const double one = MacOSModel::textFieldHeightWithWidth(301, oneLine);
    const double three = MacOSModel::textFieldHeightWithWidth(301, threeLines);
    QFont font = QApplication::font();
    font.setPointSizeF(10);
    EXPECT_NEAR(three - one, 2 * QFontMetricsF(font).lineSpacing(), 2.0);

    FileViewItem item;
    auto model = std::make_shared<MacOSModel>();
    model->setInfo(threeLines);
    model->setCellHeight(three);
    item.resize(400, static_cast<int>(std::ceil(three)));
    item.setMacOSModel(model);
    item.show();
    testsupport::spin(20);
    EXPECT_GE(item.infoLabel->height(), item.infoLabel->heightForWidth(item.infoLabel->width()))
        << "the description is not cut off";
}

TEST(CatalogPanel, ShowsTheEntriesInOrderAtTheirSizesAndSelectionDoesNothing)
{
    LocalHttpServer server;
    server.setRoute("/api/installation-image-list", {catalogJson(server, 3), 200, "application/json", 0});
    for (int i = 0; i < 3; ++i)
        server.setRoute("/logos/" + std::to_string(i) + ".png",
                        {LocalHttpServer::png(Qt::cyan), 200, "image/png", 0});
    useService(server);
    MainViewController window;
    window.viewDidLoad();
    window.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return window.collectionView->numberOfItems() == 3; }, 5000));
    const QStringList expected = {"Install macOS Catalina", "Install macOS Mojave",
                                  "Install macOS High Sierra"};
    int previousBottom = -1;
    for (int i = 0; i < 3; ++i) {
        auto *item = qobject_cast<FileViewItem *>(window.collectionView->itemAtIndex(i));
        ASSERT_TRUE(item);
        EXPECT_EQ(item->nameLabel->text(), expected[i]);
        EXPECT_EQ(item->width(), 400);
        EXPECT_EQ(item->height(),
                  static_cast<int>(std::ceil(window.filesArray()[static_cast<size_t>(i)]->cellHeight())));
        EXPECT_GT(item->y(), previousBottom) << "in the service's order, one below the other";
        previousBottom = item->y() + item->height();
    }
    EXPECT_GT(window.collectionView->itemAtIndex(2)->height(),
              window.collectionView->itemAtIndex(0)->height())
        << "the longer description makes the taller item";
    const QString before = window.tipsLabel->text();
    QTest::mouseClick(window.collectionView->itemAtIndex(1), Qt::LeftButton);
    EXPECT_EQ(window.tipsLabel->text(), before);
    EXPECT_FALSE(window.macOSModel());
    EXPECT_EQ(WindowDriver(window).openDialog(), nullptr);
}

TEST(CatalogPanel, LargeCatalogsKeepTheWindowResponsiveAndItsMemorySmall)
{
    struct Case
    {
        const char *what;
        int count;
        std::string info;
    };
    const std::vector<Case> cases = {
        {"20,000 entries", 20000, words(24)},
        {"one description of 6 MB", 1, words(1'200'000)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer server;
        // With a charset the test server sends it as it is, instead of compressing megabytes first.
        server.setRoute("/api/installation-image-list",
                        {catalogOf(c.count, c.info), 200, "application/json; charset=utf-8", 0});
        useService(server);
        testsupport::PeakMemory memory;
        testsupport::GuiWatchdog watchdog;
        MainViewController window;
        window.viewDidLoad();
        window.show();
        CollectionView &list = *window.collectionView;
        ASSERT_TRUE(testsupport::waitUntil(
            [&] {
                memory.sample();
                return list.numberOfItems() == c.count && list.itemAtIndex(0);
            },
            30000));
        list.scrollToItem(c.count - 1); // to the end, and back to the middle
        testsupport::spin(50);
        list.scrollToItem(c.count / 2);
        testsupport::spin(50);
        memory.sample();
        // Freezes of tens of seconds and gigabytes are what a catalog like this once cost.
        EXPECT_LT(watchdog.longestStallMs(), 1000);
        if (testsupport::memoryIsMeasurable()) {
            EXPECT_LT(memory.growth(), 400LL << 20);
        }
        EXPECT_LE(list.findChildren<FileViewItem *>().size(), 40) << "widgets for what is in view only";
        auto *middle = qobject_cast<FileViewItem *>(list.itemAtIndex(c.count / 2));
        ASSERT_TRUE(middle);
        EXPECT_EQ(middle->nameLabel->text(), QStringLiteral("Install macOS %1").arg(c.count / 2));
        const QString shown = middle->infoLabel->text();
        if (c.info.size() > 4000) {
            EXPECT_EQ(shown.size(), 4001);
            EXPECT_TRUE(shown.endsWith(QStringLiteral("…")));
        } else {
            EXPECT_EQ(shown, QString::fromStdString(c.info));
        }
        EXPECT_EQ(middle->height(),
                  static_cast<int>(std::ceil(MacOSModel::textFieldHeightWithWidth(301, shown))));
    }
}

// While the first answer is awaited the panel says it is loading; an answer that is an error says so, with
// the service's own message as one bounded line; no alert interrupts the user.
TEST(CatalogPanel, AFailingCatalogSaysWhatTheServiceAnswered)
{
    const std::string longMessage(300, 'm');
    struct Case
    {
        LocalHttpServer::Answer answer;
        QString said;
    };
    const QList<Case> cases = {
        {{R"({"code":1001,"message":"维护中"})", 200, "application/json", 600},
         "服务器返回了错误：“维护中”。"},
        {{R"({"code":1001,"message":")" + longMessage + R"("})", 200, "application/json", 0},
         "服务器返回了错误：“" + QString(200, 'm') + "…”。"},
        {{R"({"code":1001})", 200, "application/json", 0}, "服务器返回了错误（代码 1001）。"},
        {{"not found", 404, "text/plain", 0}, "服务器返回了错误（HTTP 404）。"},
        {{"<html></html>", 200, "text/html", 0}, "服务器的回答无法识别。"},
    };
    for (const Case &failing : cases) {
        SCOPED_TRACE(failing.answer.body);
        LocalHttpServer server;
        server.setRoute("/api/installation-image-list", failing.answer);
        useService(server);
        MainViewController window;
        window.viewDidLoad();
        window.show();
        if (failing.answer.delayMs > 0) {
            ASSERT_TRUE(testsupport::waitUntil([&] { return window.isLoaded(); }));
            testsupport::spin(100);
            EXPECT_EQ(window.catalogStatusLabel->text(), "正在载入系统镜像列表…");
            EXPECT_TRUE(window.catalogStatusLabel->isVisible());
        }
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return window.catalogStatusLabel->text().startsWith(failing.said + " "); }, 5000))
            << window.catalogStatusLabel->text().toStdString();
        EXPECT_TRUE(window.catalogRetryButton->isVisible());
        EXPECT_EQ(window.collectionView->numberOfItems(), 0);
        EXPECT_EQ(WindowDriver(window).openDialog(), nullptr);
    }
}

// What the service sends is data: markup in an entry or in its error message shows as the characters it is,
// and never makes every user's window load the image it names (a FIFO would freeze it for good).
TEST(CatalogPanel, TheServicesTextsAreNeverMarkup)
{
    testsupport::FifoTrap trap;
    ASSERT_TRUE(trap.isValid());
    testsupport::GuiWatchdog watchdog;
    const QString hostile = R"(<img src="FIFO"><b>x</b>)";
    const std::string quoted = R"(<img src=\"FIFO\"><b>x</b>)";
    for (const bool asError : {false, true}) {
        LocalHttpServer server;
        server.setRoute("/api/installation-image-list",
                        {asError ? R"({"code":1,"message":")" + quoted + R"("})"
                                 : R"({"code":0,"data":[{"name":")" + quoted + R"(","version":")" + quoted +
                                       R"(","release_date":")" + quoted + R"(","info":")" + quoted +
                                       R"(","download_url":"https://127.0.0.1/dl.dmg"}]})",
                         200, "application/json", 0});
        useService(server);
        MainViewController window;
        window.viewDidLoad();
        window.show();
        if (asError) {
            ASSERT_TRUE(testsupport::waitUntil([&] {
                return window.catalogStatusLabel->text().startsWith("服务器返回了错误：“" + hostile + "”。");
            }));
        } else {
            ASSERT_TRUE(
                testsupport::waitUntil([&] { return window.collectionView->itemAtIndex(0) != nullptr; }));
            auto *item = static_cast<FileViewItem *>(window.collectionView->itemAtIndex(0));
            EXPECT_EQ(item->nameLabel->text(), hostile);
            EXPECT_EQ(item->infoLabel->text(), hostile);
        }
        testsupport::spin(200);
        EXPECT_TRUE(testsupport::FifoTrap::markupShownIn(&window).isEmpty())
            << testsupport::FifoTrap::markupShownIn(&window).join(" | ").toStdString();
    }
    EXPECT_FALSE(trap.wasOpened());
    EXPECT_LT(watchdog.longestStallMs(), 1000);
}

// With the service out of reach the panel says so and offers to try again; when the service comes back at
// the same address, the panel fills without a restart: by the retry button at once, or by itself after the
// first pause. The update request is not repeated: its notice ends the application.
TEST(CatalogPanel, AnUnreachableServiceIsSaidAndTheCatalogArrivesWhenItComesBack)
{
    for (const bool byButton : {true, false}) {
        SCOPED_TRACE(byButton ? "the retry button" : "by itself");
        const int port = LocalHttpServer::closedPort();
        qputenv("BOOTDRIVE_SERVICE_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(port));
        MainViewController window;
        window.viewDidLoad();
        window.show();
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return window.catalogStatusLabel->text().startsWith("无法连接到服务器"); }, 5000));
        EXPECT_TRUE(window.catalogStatusLabel->isVisible())
            << window.catalogStatusLabel->text().toStdString();
        EXPECT_TRUE(window.catalogRetryButton->isEnabled());
        EXPECT_EQ(WindowDriver(window).openDialog(), nullptr);

        LocalHttpServer server(port);
        server.setRoute("/api/installation-image-list", {catalogJson(server, 3), 200, "application/json", 0});
        QElapsedTimer clock;
        clock.start();
        if (byButton)
            QTest::mouseClick(window.catalogRetryButton, Qt::LeftButton);
        ASSERT_TRUE(
            testsupport::waitUntil([&] { return window.collectionView->numberOfItems() == 3; }, 8000));
        if (byButton) {
            EXPECT_LT(clock.elapsed(), 2000) << "the button asks at once";
        }
        EXPECT_FALSE(window.catalogStatusLabel->isVisible());
        EXPECT_EQ(server.requests("/api/installation-image-list"), 1);
        EXPECT_EQ(server.requests("/api/update-app"), 0);
    }
}

TEST(CatalogPanel, TheCatalogAndTheUpdateNoticeArriveInEitherOrder)
{
    for (const bool catalogFirst : {true, false}) {
        LinkCatcher links;
        LocalHttpServer server;
        server.setRoute("/api/installation-image-list",
                        {catalogJson(server, 2), 200, "application/json", catalogFirst ? 0 : 600});
        server.setRoute(
            "/api/update-app",
            {R"({"code":0,"message":"ok","data":{"download_url":"http://127.0.0.1/BootDrive-2.0.dmg"}})", 200,
             "application/json", catalogFirst ? 600 : 0});
        useService(server);
        MainViewController window;
        window.viewDidLoad();
        window.show();
        WindowDriver driver(window);
        QMessageBox *notice = driver.waitForAlert(5000);
        ASSERT_TRUE(notice);
        EXPECT_EQ(notice->text(), "温馨提示");
        EXPECT_EQ(notice->informativeText(), "为了您更好了体验，请更新至最新版本。");
        ASSERT_EQ(notice->findChildren<QAbstractButton *>().size(), 1);
        ASSERT_TRUE(testsupport::waitUntil([&] { return window.collectionView->numberOfItems() == 2; }, 5000))
            << (catalogFirst ? "catalog first" : "update first");
        ASSERT_TRUE(WindowDriver::clickButton(notice, "下载新版本"));
        ASSERT_EQ(links.opened.size(), 1);
        EXPECT_EQ(links.opened.first(), QUrl("http://127.0.0.1/BootDrive-2.0.dmg"));
    }
}

namespace {

struct ProbeRun
{
    int exitCode = -1;
    QString output;
    QString log;
    qint64 endedAt = 0;
    // The time the probe printed after the word (an epoch in ms), 0 when it did not print it.
    qint64 at(const QString &word) const
    {
        return QRegularExpression(QRegularExpression::escape(word) + " (\\d+)")
            .match(output)
            .captured(1)
            .toLongLong();
    }
};

// The real window in a process of its own, answering the update notice as a person would.
ProbeRun runProbe(const LocalHttpServer &server, const QStringList &arguments, int timeoutMs = 20000)
{
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BOOTDRIVE_SERVICE_URL", server.url("").toString(QUrl::StripTrailingSlash));
    app.setProcessEnvironment(env);
    app.start(UPDATE_NOTICE_PROBE, arguments);
    ProbeRun run;
    if (!app.waitForFinished(timeoutMs))
        app.kill();
    run.endedAt = QDateTime::currentMSecsSinceEpoch();
    run.output = QString::fromUtf8(app.readAllStandardOutput());
    run.log = QString::fromUtf8(app.readAllStandardError());
    run.exitCode = app.exitStatus() == QProcess::NormalExit ? app.exitCode() : -1;
    return run;
}

std::string updateAnswer(const QString &link)
{
    return link.isEmpty()
               ? std::string(R"({"code":0})")
               : QJsonDocument(QJsonObject{{"code", 0}, {"data", QJsonObject{{"download_url", link}}}})
                     .toJson()
                     .toStdString();
}

} // namespace

TEST(UpdateNotice, TheApplicationEndsWithStatusZeroOneSecondAfterTheNotice)
{
    // A link that is not a web address counts as none; the log says it was not opened. Where no browser can
    // open the link, the window gives its address, and the end waits until that is answered.
    QStringList links = {"http://127.0.0.1/new.dmg", "", "no browser"};
    links += hostileLinks;
    for (const QString &link : links) {
        SCOPED_TRACE(link.toStdString());
        const bool noBrowser = link == "no browser";
        const QString sent = noBrowser ? QString("http://127.0.0.1/new.dmg") : link;
        const bool withLink = sent.startsWith("http");
        LocalHttpServer server;
        server.setRoute("/api/update-app", {updateAnswer(sent), 200, "application/json", 0});
        const ProbeRun run = runProbe(server, noBrowser ? QStringList{"--no-browser"} : QStringList());
        EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
        EXPECT_TRUE(run.output.contains("notice 为了您更好了体验，请更新至最新版本。 | one button"))
            << run.output.toStdString();
        EXPECT_EQ(run.output.contains("opened http://127.0.0.1/new.dmg"), withLink && !noBrowser)
            << run.output.toStdString();
        EXPECT_EQ(run.output.count("opened"), withLink && !noBrowser ? 1 : 0) << run.output.toStdString();
        EXPECT_EQ(run.output.contains("link alert http://127.0.0.1/new.dmg"), noBrowser)
            << run.output.toStdString();
        EXPECT_EQ(run.log.contains("Not opening a link that is not a web address: " + link),
                  !withLink && !link.isEmpty())
            << run.log.toStdString();
        const qint64 answered = noBrowser ? run.at("link answered") : run.at("answered");
        ASSERT_GT(answered, 0) << run.output.toStdString();
        EXPECT_GE(run.endedAt - answered, 950) << "not before a second has passed";
        EXPECT_LE(run.endedAt - answered, 4000);
    }
}

// A notice that comes while a drive is written waits for the run's result: the drive is finished and checked,
// and only once the result has been answered does the notice show and end the application. Neither Ctrl+Q
// nor SIGTERM ends a run without asking.
TEST(UpdateNotice, ARunningCreationIsNeverCutShort)
{
    REQUIRE_DRIVES();
    testsupport::ToolsOnPath tools;
    qputenv("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
    LOOP_DRIVE(drive, "USB", 96 * 1024 * 1024);
    testsupport::SampleInstaller installer("Install macOS Mojave", "10.14.6", "24M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    LocalHttpServer server;
    // Sent while the probe is in the middle of the run.
    server.setRoute("/api/update-app",
                    {updateAnswer("http://127.0.0.1/new.dmg"), 200, "application/json", 3000});
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    const ProbeRun run = runProbe(server, {"--create", installer.path(), "USB"}, 180000);
    qunsetenv("CREATEINSTALLMEDIA_RATE_LIMIT");
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString() << run.log.toStdString();
    EXPECT_FALSE(run.output.contains("early notice")) << run.output.toStdString();
    EXPECT_EQ(run.output.count("asked"), 2) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QRegularExpression("result \\d+ macOS引导安装器创建完成")))
        << run.output.toStdString();
    EXPECT_GT(run.at("result") - started, 4000) << "the notice was sent before the run ended";
    const qint64 shown = run.at("at");
    EXPECT_GE(shown, run.at("dismissed"));
    EXPECT_LT(shown - run.at("dismissed"), 1000) << "the held notice comes once the result is answered";
    EXPECT_TRUE(run.output.contains("opened http://127.0.0.1/new.dmg")) << run.output.toStdString();
    EXPECT_GE(run.endedAt - run.at("answered"), 950);
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Mojave");
}

#include "CatalogTest.moc"
