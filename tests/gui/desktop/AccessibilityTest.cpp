// What assistive technology reads of the window, through Qt's accessibility interfaces, and the catalog by
// keyboard.

#include "Common/CircularProgress/CircularProgressAccessible.h"
#include "UI/CollectionView.h"
#include "UI/FileViewItem.h"
#include "WindowFixture.h"
#include "support/LocalHttpServer.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QToolButton>
#include <functional>

namespace {

std::string catalog(int count)
{
    std::string data;
    for (int i = 0; i < count; ++i)
        data +=
            std::string(i ? "," : "") + R"({"name":"Install macOS 10.)" + std::to_string(10 + i) +
            R"(","version":"10.)" + std::to_string(10 + i) +
            R"(","release_date":"2019-09-24","info":"An installer image.","logo_url":"http://127.0.0.1:9/l.png",)"
            R"("download_url":"https://127.0.0.1/dl/)" +
            std::to_string(i) + R"("})";
    return R"({"code":0,"message":"ok","data":[)" + data + "]}";
}

// Every shown element a user can operate: buttons, pop-ups, progress bars and whatever takes focus.
QStringList unnamedControls(QAccessibleInterface *root)
{
    QStringList faults;
    const std::function<void(QAccessibleInterface *)> visit = [&](QAccessibleInterface *node) {
        if (!node || node->state().invisible)
            return;
        const QAccessible::Role role = node->role();
        const bool control = role == QAccessible::PushButton || role == QAccessible::ComboBox ||
                             role == QAccessible::ProgressBar || node->state().focusable;
        const QString what =
            QString::fromLatin1(node->object() ? node->object()->metaObject()->className() : "?") +
            QLatin1Char(' ') + (node->object() ? node->object()->objectName() : QString());
        if (control && node->text(QAccessible::Name).trimmed().isEmpty())
            faults << what + QStringLiteral(": no name");
        else if (control && node->text(QAccessible::Description).trimmed().isEmpty())
            faults << what + QStringLiteral(": no description");
        for (int i = 0; i < node->childCount(); ++i)
            visit(node->child(i));
    };
    visit(root);
    return faults;
}

} // namespace

TEST(Accessibility, EveryControlIsNamedAndDescribedAndTheRingIsAProgressBarWithItsValue)
{
    // As the application's set-up does.
    CircularProgressAccessible::installFactory();
    LocalHttpServer server;
    server.setRoute("/api/installation-image-list", {catalog(30), 200, "application/json", 0});
    qputenv("BOOTDRIVE_SERVICE_URL", server.url("").toString(QUrl::StripTrailingSlash).toUtf8());
    LinkCatcher links;
    Window w;
    auto &c = w.controller;
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.collectionView->numberOfItems() == 30; }, 5000));
    testsupport::spin(50);
    c.circularProgress->setHidden(false);

    EXPECT_TRUE(unnamedControls(QAccessible::queryAccessibleInterface(&c)).isEmpty())
        << unnamedControls(QAccessible::queryAccessibleInterface(&c)).join('\n').toStdString();
    // The icon-only buttons: the ring's cross, and each entry's download button named after its entry.
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(c.circularProgress->cancelButton())->text(QAccessible::Name),
        "取消");
    auto *first = static_cast<FileViewItem *>(c.collectionView->itemAtIndex(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(first->downloadButton)->text(QAccessible::Name),
              "下载 Install macOS 10.10");

    QAccessibleInterface *ring = QAccessible::queryAccessibleInterface(c.circularProgress);
    ASSERT_EQ(ring->role(), QAccessible::ProgressBar);
    EXPECT_EQ(ring->text(QAccessible::Name), "创建进度");
    QAccessibleValueInterface *value = ring->valueInterface();
    ASSERT_TRUE(value);
    c.circularProgress->setIsIndeterminate(false);
    c.circularProgress->setProgress(0.429);
    EXPECT_EQ(value->currentValue().toInt(), 42);
    EXPECT_EQ(value->maximumValue().toInt(), 100);
    EXPECT_EQ(ring->text(QAccessible::Value), "42%");
    c.circularProgress->setIsIndeterminate(true);
    EXPECT_EQ(value->maximumValue().toInt(), 0) << "busy, as a progress bar without a range";
    // Cancelling is offered as the ring's press action exactly while the ring can be cancelled.
    EXPECT_FALSE(ring->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    c.circularProgress->setIsCancellable(true);
    EXPECT_TRUE(ring->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    c.circularProgress->setIsCancellable(false);
    c.circularProgress->setHidden(true);

    // The catalog by keyboard: Tab goes through the download buttons in list order, scrolling each into
    // view, and Return opens the entry's link.
    c.activateWindow();
    first->downloadButton->setFocus(Qt::TabFocusReason);
    for (int index = 1; index < 12; ++index) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        auto *item = static_cast<FileViewItem *>(c.collectionView->itemAtIndex(index));
        ASSERT_TRUE(item) << index;
        ASSERT_EQ(QApplication::focusWidget(), item->downloadButton) << index;
        EXPECT_TRUE(c.collectionView->viewport()->rect().contains(item->geometry())) << index;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !links.opened.isEmpty(); }, 2000));
    EXPECT_EQ(links.opened.first(), QUrl("https://127.0.0.1/dl/11"));
}
