// Every control a keyboard reaches in the window, the alerts and the file picker shows that it has the focus.

#include "UI/AlertManager.h"
#include "UI/CollectionView.h"
#include "UI/ControlStyle.h"
#include "UI/MainViewController.h"
#include "UI/OpenPanel.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool isRing(const QColor &color)
{
    const QColor ring = ControlStyle::focusRingColor();
    return std::abs(color.red() - ring.red()) < 24 && std::abs(color.green() - ring.green()) < 24 &&
           std::abs(color.blue() - ring.blue()) < 24;
}

// The ring runs along the control's edges: look at the left and right edges at mid-height.
bool edgesInRingColor(QWidget *control)
{
    const QImage image = control->grab().toImage();
    const int y = image.height() / 2;
    const auto near = [&](int from, int to) {
        for (int x = from; x <= to; ++x)
            if (x >= 0 && x < image.width() && isRing(image.pixelColor(x, y)))
                return true;
        return false;
    };
    return near(0, 2) && near(image.width() - 3, image.width() - 1);
}

// Each enabled control that Tab can reach, without and then with the focus. Names the controls that fail.
QStringList controlsWithoutRing(QWidget *dialog, int *checked)
{
    dialog->activateWindow();
    EXPECT_TRUE(testsupport::waitUntil([&] { return dialog->isActiveWindow(); }, 3000));
    QStringList failing;
    *checked = 0;
    for (QWidget *control : dialog->findChildren<QWidget *>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) || !control->isVisibleTo(dialog) ||
            !control->isEnabled())
            continue;
        ++*checked;
        const QString name = QStringLiteral("%1 %2").arg(QLatin1String(control->metaObject()->className()),
                                                         control->objectName());
        control->clearFocus();
        testsupport::spin(10);
        const bool ringWithout = edgesInRingColor(control);
        control->setFocus(Qt::TabFocusReason);
        testsupport::spin(10);
        if (!control->hasFocus() || ringWithout || !edgesInRingColor(control))
            failing << name;
    }
    return failing;
}

} // namespace

TEST(FocusRing, EveryControlOfAnAlertAndThePickerShowsFocus)
{
    QWidget window;
    window.resize(500, 400);
    window.show();
    AlertOptions options;
    options.destructiveButton = 0;
    options.detailText = QStringLiteral("detail");
    QMessageBox *alert =
        AlertManager::alertByWindow(&window, {"立刻创建", "取消"}, QImage(), "温馨提示", "说明",
                                    AlertManager::InformationalStyle, nullptr, options);
    ASSERT_TRUE(testsupport::waitUntil([&] { return alert->isVisible(); }));
    int checked = 0;
    EXPECT_EQ(controlsWithoutRing(alert, &checked), QStringList());
    EXPECT_EQ(checked, 2) << "both buttons, the erasing one too";
    alert->close();

    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("Install macOS Mojave.app"));
    OpenPanel panel(&window);
    panel.setAllowedFileTypes({"app"}, "macOS 安装程序");
    panel.setDirectory(folder.path());
    panel.open();
    ASSERT_TRUE(testsupport::waitUntil([&] { return panel.isVisible(); }));
    testsupport::spin(200);
    EXPECT_EQ(controlsWithoutRing(&panel, &checked), QStringList());
    // The folder pop-up, tool buttons, sidebar, file list, name field, filter and Cancel at least.
    EXPECT_GE(checked, 7);
    panel.reject();
}

// The window's own stops, the catalog's download buttons among them.
TEST(FocusRing, EveryControlOfTheWindowShowsFocus)
{
    LocalHttpServer server;
    server.setRoute("/api/installation-image-list",
                    {R"({"code":0,"data":[{"name":"Install macOS Mojave","version":"10.14","info":"i",)"
                     R"("download_url":"https://127.0.0.1/dl.dmg"}]})",
                     200, "application/json", 0});
    qputenv("BOOTDRIVE_SERVICE_URL", server.url("").toString(QUrl::StripTrailingSlash).toUtf8());
    MainViewController window;
    window.resize(920, 580);
    window.viewDidLoad();
    window.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return window.collectionView->numberOfItems() == 1; }));
    // The retry button shows only while the service cannot be reached; it is checked here all the same.
    window.catalogRetryButton->setVisible(true);
    window.catalogRetryButton->setEnabled(true);
    window.findChild<QWidget *>("catalogStatusPanel")->setVisible(true);
    testsupport::spin(100);
    int checked = 0;
    const QStringList failing = controlsWithoutRing(&window, &checked);
    EXPECT_TRUE(failing.isEmpty()) << failing.join(" | ").toStdString();
    EXPECT_GE(checked, 5) << "the installer button, the pop-up, the retry button, the list and its download";
    qunsetenv("BOOTDRIVE_SERVICE_URL");
}
